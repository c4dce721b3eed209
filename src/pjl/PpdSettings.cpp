// Lookups of marked choices, attributes and custom values in the job's PPD.

#include "PpdSettings.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

namespace arvex::pjl {

// Marked choice of an option, if the job has a PPD and the option exists.
const ppd_choice_t *markedChoice(const JobInfo *job, const char *keyword)
{
  if (!job || !job->ppd || !keyword)
    return nullptr;
  return ppdFindMarkedChoice(job->ppd, keyword);
}

// Case-insensitive test of the marked choice's keyword.
bool markedChoiceIs(const JobInfo *job, const char *keyword, const char *text)
{
  const ppd_choice_t *choice = markedChoice(job, keyword);
  return choice && strcasecmp(choice->choice, text) == 0;
}

// Exact test of an attribute's value; the first attribute of that name
// counts, whatever its option specifier.
bool attributeIs(const JobInfo *job, const char *name, const char *value)
{
  if (!job || !job->ppd)
    return false;
  const ppd_attr_t *attr = ppdFindAttr(job->ppd, name, nullptr);
  return attr && attr->value && std::strcmp(attr->value, value) == 0;
}

// First parameter of a custom option.
const ppd_cparam_t *firstCustomParam(const JobInfo *job, const char *keyword)
{
  if (!job || !job->ppd || !keyword)
    return nullptr;
  ppd_coption_t *coption = ppdFindCustomOption(job->ppd, keyword);
  return coption ? ppdFirstCustomParam(coption) : nullptr;
}

bool isTextParam(const ppd_cparam_t *param)
{
  return param && (param->type == PPD_CUSTOM_STRING || param->type == PPD_CUSTOM_PASSWORD ||
                   param->type == PPD_CUSTOM_PASSCODE);
}

// The text value; numeric parameters hold no pointer in the value union.
const char *customText(const ppd_cparam_t *param)
{
  return isTextParam(param) ? param->current.custom_string : nullptr;
}

// Any value as the printer reads it in a PJL command.
std::string customValueText(const ppd_cparam_t *param)
{
  if (!param)
    return {};
  if (isTextParam(param)) {
    const char *text = param->current.custom_string;
    return text ? text : "";
  }
  char number[64] = {};
  switch (param->type) {
  case PPD_CUSTOM_INT:
    std::snprintf(number, sizeof(number), "%d", param->current.custom_int);
    break;
  case PPD_CUSTOM_REAL:
    std::snprintf(number, sizeof(number), "%g", static_cast<double>(param->current.custom_real));
    break;
  case PPD_CUSTOM_POINTS:
    std::snprintf(number, sizeof(number), "%g", static_cast<double>(param->current.custom_points));
    break;
  case PPD_CUSTOM_CURVE:
    std::snprintf(number, sizeof(number), "%g", static_cast<double>(param->current.custom_curve));
    break;
  case PPD_CUSTOM_INVCURVE:
    std::snprintf(number, sizeof(number), "%g", static_cast<double>(param->current.custom_invcurve));
    break;
  default:
    break;
  }
  return number;
}

}  // namespace arvex::pjl
