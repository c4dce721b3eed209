// Small look-ups into the job's options and PPD shared by every reader of
// job settings (PJL, job-control fragments, security marking). Every one accepts a missing record, a record without
// options and a record without a PPD: they then find nothing.
#ifndef ARVEX_JOB_LOOKUP_H
#define ARVEX_JOB_LOOKUP_H

#include <arvex/error.h>
#include <arvex/jobinfo.h>

#include <cstring>
#include <optional>
#include <span>
#include <strings.h>

namespace arvex::lookup {

// Whether two option names are equal ignoring the case of ASCII letters,
// the way CUPS compares option names.
inline bool sameOptionName(const char *a, const char *b, size_t length)
{
  for (size_t i = 0; i < length; ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (x != y && ((x | 0x20) != (y | 0x20) || (x | 0x20) < 'a' || (x | 0x20) > 'z'))
      return false;
  }
  return true;
}

// Value of a job option, or nullptr; the same answer as cupsGetOption, but
// names of another length are passed over without comparing them: the
// option names of a job mostly share one long prefix. Unlike getCupsOption
// this latches nothing when the option is absent.
inline const char *jobOption(const JobInfo *job, const char *key)
{
  if (!job || !key || !*key || !job->options)
    return nullptr;
  const size_t length = std::strlen(key);
  for (int i = 0; i < job->numOptions; ++i) {
    const cups_option_t &option = job->options[i];
    if (option.name && strnlen(option.name, length + 1) == length && sameOptionName(option.name, key, length))
      return option.value;
  }
  return nullptr;
}

// Value of a job option; an absent one latches 6, as getCupsOption does.
inline const char *jobOptionOrLatch(const JobInfo *job, const char *key)
{
  const char *value = jobOption(job, key);
  if (!value)
    latchError(ARVEX_ERR_NOOPTION);
  return value;
}

// The marked choice of a PPD option, or nullptr.
inline const ppd_choice_t *markedChoiceRecord(const JobInfo *job, const char *keyword)
{
  if (!job || !job->ppd || !keyword)
    return nullptr;
  return ppdFindMarkedChoice(job->ppd, keyword);
}

// Name of the marked choice of a PPD option, or nullptr.
inline const char *markedChoice(const JobInfo *job, const char *keyword)
{
  const ppd_choice_t *choice = markedChoiceRecord(job, keyword);
  return choice ? choice->choice : nullptr;
}

// Whether the marked choice of keyword is exactly name.
inline bool markedChoiceIs(const JobInfo *job, const char *keyword, const char *name)
{
  const char *choice = markedChoice(job, keyword);
  return choice && std::strcmp(choice, name) == 0;
}

// Whether the marked choice of keyword is name, ignoring letter case.
inline bool markedChoiceIsIgnoringCase(const JobInfo *job, const char *keyword, const char *name)
{
  const char *choice = markedChoice(job, keyword);
  return choice && strcasecmp(choice, name) == 0;
}

// Value of the first PPD attribute called name; nullptr when the PPD, the
// attribute or its value is missing.
inline const char *attributeValue(const JobInfo *job, const char *name)
{
  if (!job || !job->ppd || !name)
    return nullptr;
  const ppd_attr_t *attr = ppdFindAttr(job->ppd, name, nullptr);
  return attr ? attr->value : nullptr;
}

// Whether the first PPD attribute called name has exactly the value value.
inline bool attributeIs(const JobInfo *job, const char *name, const char *value)
{
  const char *actual = attributeValue(job, name);
  return actual && std::strcmp(actual, value) == 0;
}

// Whether text is "true" in any letter case (nullptr is not).
inline bool isTrueIgnoringCase(const char *text)
{
  return text && strcasecmp(text, "true") == 0;
}

// A colour device says ColorDevice True (in any letter case) in its PPD.
inline bool isColorDevice(const JobInfo *job)
{
  const char *value = attributeValue(job, "ColorDevice");
  return value && strcasecmp(value, "True") == 0;
}

// A PPD of a destination that takes the CID-keyed Japanese fonts and
// relaxed custom-text checks.
inline bool isDOMDestination(const JobInfo *job)
{
  return attributeIs(job, "CCPDestination", "DOM");
}

// One row of a setting table: the word a job option gives, the PPD's
// choice keyword, the code.
struct NamedCode {
  const char *optionValue;
  const char *ppdChoice;
  int code;
};
using NamedCodes = std::span<const NamedCode>;

// The row whose column equals text exactly, or nullptr.
inline const NamedCode *findRow(NamedCodes table, const char *NamedCode::*column, const char *text)
{
  if (!text)
    return nullptr;
  for (const auto &row : table)
    if (std::strcmp(row.*column, text) == 0)
      return &row;
  return nullptr;
}

inline int codeOfOptionValue(NamedCodes table, const char *value, int fallback)
{
  const NamedCode *row = findRow(table, &NamedCode::optionValue, value);
  return row ? row->code : fallback;
}

inline int codeOfMarkedChoice(NamedCodes table, const JobInfo *job, const char *keyword, int fallback)
{
  const NamedCode *row = findRow(table, &NamedCode::ppdChoice, markedChoice(job, keyword));
  return row ? row->code : fallback;
}

// A setting's code: the job option decides whenever the job has it (a word
// the table lacks gives fallback), else the queue's reader.
inline int settingCode(const JobInfo *job, const char *optionKey, NamedCodes table, int fallback,
                       int (*fromQueue)(const JobInfo *))
{
  if (const char *value = jobOption(job, optionKey))
    return codeOfOptionValue(table, value, fallback);
  return fromQueue(job);
}

// What a reader expects the custom parameter to hold (Any: whatever it is).
enum class ParamKind { Text, Int, Number, Any };

// The first parameter of the custom option keyword, when the PPD declares
// it with a type of the expected kind: string, password or passcode for
// Text; int for Int; real or int for Number. A parameter of another type is
// treated as missing, since its value can't be read as the kind asked for.
inline const ppd_cparam_t *customParam(const JobInfo *job, const char *keyword, ParamKind kind)
{
  if (!job || !job->ppd || !keyword)
    return nullptr;
  ppd_coption_t *option = ppdFindCustomOption(job->ppd, keyword);
  const ppd_cparam_t *param = option ? ppdFirstCustomParam(option) : nullptr;
  if (!param || kind == ParamKind::Any)
    return param;
  switch (param->type) {
  case PPD_CUSTOM_STRING:
  case PPD_CUSTOM_PASSWORD:
  case PPD_CUSTOM_PASSCODE:
    return kind == ParamKind::Text ? param : nullptr;
  case PPD_CUSTOM_INT:
    return kind == ParamKind::Int || kind == ParamKind::Number ? param : nullptr;
  case PPD_CUSTOM_REAL:
    return kind == ParamKind::Number ? param : nullptr;
  default:
    return nullptr;
  }
}

// The text a Text parameter currently holds; nullptr when it has none.
inline const char *paramText(const ppd_cparam_t *param)
{
  switch (param->type) {
  case PPD_CUSTOM_PASSWORD:
    return param->current.custom_password;
  case PPD_CUSTOM_PASSCODE:
    return param->current.custom_passcode;
  default:
    return param->current.custom_string;
  }
}

// The text of keyword's first custom parameter when that parameter is a
// text one (string, password, passcode): nullopt without such a parameter;
// the text itself is nullptr when the parameter holds none.
inline std::optional<const char *> customText(const JobInfo *job, const char *keyword)
{
  const ppd_cparam_t *param = customParam(job, keyword, ParamKind::Text);
  if (!param)
    return std::nullopt;
  return paramText(param);
}

// The value of keyword's first custom parameter when its marked choice is
// "Custom" and the parameter is an int; nullopt otherwise.
inline std::optional<int> customInt(const JobInfo *job, const char *keyword)
{
  if (!markedChoiceIs(job, keyword, "Custom"))
    return std::nullopt;
  const ppd_cparam_t *param = customParam(job, keyword, ParamKind::Int);
  if (!param)
    return std::nullopt;
  return param->current.custom_int;
}

// The value a Number parameter currently holds, in single precision.
inline float paramNumber(const ppd_cparam_t *param)
{
  return param->type == PPD_CUSTOM_INT ? static_cast<float>(param->current.custom_int)
                                       : param->current.custom_real;
}

}  // namespace arvex::lookup

#endif
