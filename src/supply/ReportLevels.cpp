// PPD marking for the job. The reporting thread itself is not built yet:
// StartReportLevels marks the PPD and reports that no thread runs.

#include "ReportLevels.h"

extern "C" {

// Mark the PPD's defaults, then the job options; no thread is started.
ReportLevelsContext *StartReportLevels(int numOptions, cups_option_t *options, char *argv[], ppd_file_t *ppd)
{
  if (!options || !argv || !ppd)
    return nullptr;
  ppdMarkDefaults(ppd);
  cupsMarkOptions(ppd, numOptions, options);
  return nullptr;
}

void StopReportLevels(ReportLevelsContext * /*context*/) {}

}  // extern "C"
