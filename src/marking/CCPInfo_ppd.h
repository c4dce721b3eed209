// Lookups shared by the copy-control readers: job options read without
// latching, marked PPD choices, the DOM destination test and the tables
// that map option values and PPD choices to setting codes.
#ifndef ARVEX_CCPINFO_PPD_H
#define ARVEX_CCPINFO_PPD_H

#include <arvex/jobinfo.h>

#include <cstring>
#include <span>

namespace arvex::marking {

// A job option looked up without touching err_no; NULL when absent.
inline const char *jobOption(const JobInfo *job, const char *key)
{
  return job ? cupsGetOption(key, job->numOptions, job->options) : nullptr;
}

// The marked choice of a PPD option, NULL without PPD, option or mark.
inline const ppd_choice_t *markedChoice(const JobInfo *job, const char *keyword)
{
  return (job && job->ppd) ? ppdFindMarkedChoice(job->ppd, keyword) : nullptr;
}

// Value of a PPD attribute (no specifier), NULL when absent or valueless.
inline const char *ppdAttrValue(const JobInfo *job, const char *name)
{
  if (!job || !job->ppd)
    return nullptr;
  const ppd_attr_t *attr = ppdFindAttr(job->ppd, name, nullptr);
  return attr ? attr->value : nullptr;
}

// A PPD of a destination that takes the CID-keyed Japanese fonts and
// relaxed custom-text checks.
inline bool isDOMDestination(const JobInfo *job)
{
  const char *value = ppdAttrValue(job, "CCPDestination");
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
  const ppd_choice_t *choice = markedChoice(job, keyword);
  if (!choice)
    return fallback;
  for (const auto &row : table)
    if (std::strcmp(row.ppdChoice, choice->choice) == 0)
      return row.code;
  return fallback;
}

}  // namespace arvex::marking

#endif
