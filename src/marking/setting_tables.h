// Lookups of the copy-control readers: the DOM destination test and the
// tables that map option values and PPD choices to setting codes.
#ifndef ARVEX_CCPINFO_PPD_H
#define ARVEX_CCPINFO_PPD_H

#include <arvex/jobinfo.h>

#include "../jobcontext/job_lookup.h"

#include <cstring>
#include <span>

namespace arvex::marking {

// A PPD of a destination that takes the CID-keyed Japanese fonts and
// relaxed custom-text checks.
inline bool isDOMDestination(const JobInfo *job)
{
  const char *value = lookup::attributeValue(job, "CCPDestination");
  return value && std::strcmp(value, "DOM") == 0;
}

// One row of a setting table: the dialog's word, the PPD's keyword, the code.
struct SettingName {
  const char *optionValue;
  const char *ppdChoice;
  int code;
};

// Code of an option value (exact match), or fallback.
inline int codeOfOptionValue(std::span<const SettingName> table, const char *value, int fallback)
{
  for (const auto &row : table)
    if (value && std::strcmp(row.optionValue, value) == 0)
      return row.code;
  return fallback;
}

// Code of the marked choice of keyword (exact match), or fallback.
inline int codeOfMarkedChoice(std::span<const SettingName> table, const JobInfo *job, const char *keyword,
                              int fallback)
{
  const char *choice = lookup::markedChoice(job, keyword);
  if (!choice)
    return fallback;
  for (const auto &row : table)
    if (std::strcmp(row.ppdChoice, choice) == 0)
      return row.code;
  return fallback;
}

}  // namespace arvex::marking

#endif
