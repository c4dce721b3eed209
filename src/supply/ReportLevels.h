// Supply-level and printer-state reporting while a job runs.
#ifndef ARVEX_REPORT_LEVELS_H
#define ARVEX_REPORT_LEVELS_H

#include <arvex/cups.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ReportLevelsContext ReportLevelsContext;

/* Mark the PPD (defaults, then the job options) and start the reporting
   thread when the job and the PPD allow one. NULL when no thread runs. */
ReportLevelsContext *StartReportLevels(int numOptions, cups_option_t *options, char *argv[], ppd_file_t *ppd);

/* Stop and join the thread and release the context. NULL does nothing. */
void StopReportLevels(ReportLevelsContext *context);

#ifdef __cplusplus
}
#endif

#endif
