// Reading settings from the job's marked PPD: choice keywords, attributes
// and the first parameter of custom options.
#ifndef ARVEX_PJL_PPD_SETTINGS_H
#define ARVEX_PJL_PPD_SETTINGS_H

#include <arvex/jobinfo.h>

#include <string>

namespace arvex::pjl {

// The marked choice of the option keyword, or nullptr.
const ppd_choice_t *markedChoice(const JobInfo *job, const char *keyword);

// Whether the marked choice's keyword equals text, ignoring case.
bool markedChoiceIs(const JobInfo *job, const char *keyword, const char *text);

// Whether the PPD's first attribute named name has exactly the value value.
bool attributeIs(const JobInfo *job, const char *name, const char *value);

// The first parameter of the custom option keyword, or nullptr.
const ppd_cparam_t *firstCustomParam(const JobInfo *job, const char *keyword);

// Whether the parameter holds text (string, password or passcode).
bool isTextParam(const ppd_cparam_t *param);

// The current value of a text parameter: nullptr when it holds none or is
// not a text parameter.
const char *customText(const ppd_cparam_t *param);

// The current value of any parameter as text: text values as they are
// (empty when there is none), integers with %d and the other numbers with %g.
std::string customValueText(const ppd_cparam_t *param);

}  // namespace arvex::pjl

#endif
