// Job control as IPP vendor attributes (see job_control.h).

#include "job_control.h"

#include <arvex/jobcontrol.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

#include "printer_app.h"

namespace arvex::app {

namespace {

constexpr char kPrefix[] = "com.arvex.printsettings.";
constexpr size_t kMaxMarkingText = 64;  // bytes of marking text the printer takes

// An IPP keyword and the library's option value it stands for.
struct Keyword {
  const char *ipp;
  const char *option;
};

const Keyword kJobTypes[] = {{"normal", "Normal"},
                             {"locked", "Locked Print"},
                             {"sample", "Sample Print"},
                             {"hold", "Paused Print"},
                             {"stored", "Saved Print"},
                             {"store-and-print", "Save Document Print"},
                             {"document-server", "Document Server"}};
const Keyword kCopyControls[] = {
    {"off", "Off"}, {"copy-guard", "Copy Guard"}, {"prevention-copy-pattern", "Prevention Copy Pattern"}};

// What a text must be: the printers' rules, as the library checks them.
enum class Rule { None, UserId, UserCode, FileName, Password, Time, MarkingText };

struct Setting {
  const char *name;
  ipp_tag_t type;            // keyword, boolean, integer or text
  const Keyword *keywords;   // keyword: the values, the first the default
  size_t numKeywords;
  int lower, upper;          // integer: the range
  Rule rule;                 // text
  bool colourOnly;
};

const Setting kSettings[] = {
    {"arvex-job-type", IPP_TAG_KEYWORD, kJobTypes, std::size(kJobTypes), 0, 0, Rule::None, false},
    {"arvex-user-id", IPP_TAG_TEXT, nullptr, 0, 0, 0, Rule::UserId, false},
    {"arvex-user-code", IPP_TAG_TEXT, nullptr, 0, 0, 0, Rule::UserCode, false},
    {"arvex-file-name", IPP_TAG_TEXT, nullptr, 0, 0, 0, Rule::FileName, false},
    {"arvex-folder-number", IPP_TAG_INTEGER, nullptr, 0, 0, 999, Rule::None, false},
    {"arvex-folder-password", IPP_TAG_TEXT, nullptr, 0, 0, 0, Rule::Password, false},
    {"arvex-print-time", IPP_TAG_TEXT, nullptr, 0, 0, 0, Rule::Time, false},
    {"arvex-copy-control", IPP_TAG_KEYWORD, kCopyControls, std::size(kCopyControls), 0, 0, Rule::None, false},
    {"arvex-marking-text", IPP_TAG_TEXT, nullptr, 0, 0, 0, Rule::MarkingText, false},
    {"arvex-background-numbering", IPP_TAG_BOOLEAN, nullptr, 0, 0, 0, Rule::None, false},
    {"arvex-synchro-cut", IPP_TAG_BOOLEAN, nullptr, 0, 0, 0, Rule::None, false},
    {"arvex-banner-page", IPP_TAG_BOOLEAN, nullptr, 0, 0, 0, Rule::None, false},
    {"arvex-brightness", IPP_TAG_INTEGER, nullptr, 0, -10, 10, Rule::None, true},
    {"arvex-contrast", IPP_TAG_INTEGER, nullptr, 0, -10, 10, Rule::None, true},
};

const Setting *settingNamed(const char *name)
{
  for (const Setting &s : kSettings)
    if (name && std::strcmp(name, s.name) == 0)
      return &s;
  return nullptr;
}

bool isDigits(const char *text)
{
  for (const char *p = text; *p; ++p)
    if (*p < '0' || *p > '9')
      return false;
  return true;
}

// Why a text breaks its rule, or nullptr. An empty text sets nothing.
const char *ruleProblem(Rule rule, const char *text)
{
  if (!*text)
    return nullptr;
  switch (rule) {
  case Rule::None:
    return nullptr;
  case Rule::UserId:
    return isValidUserID(text, 1, 8, 1) ? nullptr : "is not 1 to 8 letters, digits, - . / : or _";
  case Rule::UserCode:
    return isValidUserCode(text) ? nullptr : "is not up to 8 digits";
  case Rule::FileName:
    return isValidFileName(text) ? nullptr : "is not up to 16 letters and digits";
  case Rule::Password:
    return isValidPassword(text) ? nullptr : "is not 4 to 8 digits";
  case Rule::Time:
    return std::strlen(text) == 4 && isDigits(text) && (text[0] - '0') * 10 + text[1] - '0' < 24 && text[2] < '6'
               ? nullptr
               : "is not a time of day as HHMM";
  case Rule::MarkingText:
    return std::strlen(text) <= kMaxMarkingText && isPjlSafe(text) ? nullptr
                                                                    : "is longer than 64 bytes or holds a control "
                                                                      "character";
  }
  return nullptr;
}

// The value of a job-control setting as the library's option wants it:
// an option value of the setting's keyword, "true"/"false", a number or
// the text.
std::string valueOf(ipp_attribute_t *attr, const Setting &s)
{
  switch (s.type) {
  case IPP_TAG_KEYWORD: {
    const char *keyword = ippGetString(attr, 0, nullptr);
    for (size_t i = 0; i < s.numKeywords; ++i)
      if (std::strcmp(keyword, s.keywords[i].ipp) == 0)
        return s.keywords[i].option;
    return "";
  }
  case IPP_TAG_BOOLEAN:
    return ippGetBoolean(attr, 0) ? "true" : "false";
  case IPP_TAG_INTEGER:
    return std::to_string(ippGetInteger(attr, 0));
  default:
    return ippGetString(attr, 0, nullptr);
  }
}

void addOption(std::string &options, const std::string &name, const std::string &value)
{
  if (!options.empty())
    options += ' ';
  options += name + "=" + optionValue(value);
}

// The marking text as the library takes it from a job: a backslash and
// three octal digits per byte.
std::string octal(const std::string &text)
{
  std::string out;
  char escape[5];
  for (const unsigned char c : text) {
    std::snprintf(escape, sizeof(escape), "\\%03o", c);
    out += escape;
  }
  return out;
}

}  // namespace

bool isJobControl(const char *name)
{
  return settingNamed(name) != nullptr;
}

const char *jobControlProblem(ipp_attribute_t *attr, const char *name)
{
  const Setting *s = settingNamed(name);
  if (!s)
    return nullptr;
  const ipp_tag_t tag = ippGetValueTag(attr);
  const bool text = tag == IPP_TAG_TEXT || tag == IPP_TAG_TEXTLANG || tag == IPP_TAG_NAME || tag == IPP_TAG_NAMELANG;
  if (ippGetCount(attr) != 1 || !(tag == s->type || (s->type == IPP_TAG_TEXT && text)))
    return "has the wrong type";
  switch (s->type) {
  case IPP_TAG_KEYWORD:
    return valueOf(attr, *s).empty() ? "is not one of its keywords" : nullptr;
  case IPP_TAG_INTEGER:
    return ippGetInteger(attr, 0) < s->lower || ippGetInteger(attr, 0) > s->upper ? "is out of range" : nullptr;
  case IPP_TAG_TEXT: {
    const char *value = ippGetString(attr, 0, nullptr);
    return ruleProblem(s->rule, value ? value : "");
  }
  default:
    return nullptr;
  }
}

void describeJobControl(const Model &model, pappl_pr_driver_data_t *data, ipp_t *attrs)
{
  for (const Setting &s : kSettings) {
    if ((s.colourOnly && !model.color) || data->num_vendor >= PAPPL_MAX_VENDOR)
      continue;
    if (!isSecret(s.name))  // the folder password's default is set apart, as the login password's
      data->vendor[data->num_vendor++] = s.name;
    const std::string supported = std::string(s.name) + "-supported", byDefault = std::string(s.name) + "-default";
    switch (s.type) {
    case IPP_TAG_KEYWORD: {
      std::vector<const char *> keywords;
      for (size_t i = 0; i < s.numKeywords; ++i)
        keywords.push_back(s.keywords[i].ipp);
      ippAddStrings(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), supported.c_str(),
                    static_cast<int>(keywords.size()), nullptr, keywords.data());
      ippAddString(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), byDefault.c_str(), nullptr, keywords[0]);
      break;
    }
    case IPP_TAG_BOOLEAN:
      ippAddBoolean(attrs, IPP_TAG_PRINTER, supported.c_str(), 1);
      ippAddBoolean(attrs, IPP_TAG_PRINTER, byDefault.c_str(), 0);
      break;
    case IPP_TAG_INTEGER:
      ippAddRange(attrs, IPP_TAG_PRINTER, supported.c_str(), s.lower, s.upper);
      ippAddInteger(attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, byDefault.c_str(), 0);
      break;
    default:  // text: PAPPL shows a text box for a vendor attribute without -supported
      ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_TEXT, byDefault.c_str(), nullptr, "");
      break;
    }
  }
  // The PIN of a locked print: digits only, sent in clear (a client would
  // hash it otherwise, and a hashed PIN can't go to the printer).
  ippAddInteger(attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, "job-password-supported", 8);
  ippAddString(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), "job-password-encryption-supported", nullptr,
               "none");
  for (const char *name : {"job-password-repertoire-supported", "job-password-repertoire-configured"})
    ippAddString(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), name, nullptr, "iana_us-ascii_digits");
  ippAddRange(attrs, IPP_TAG_PRINTER, "job-password-length-supported", 4, 8);
}

bool jobControlOptions(pappl_job_t *job, const Model &model, const SecretValues &secrets, std::string &options,
                       bool &needed)
{
  const JobValues values(job);
  const std::string *pin = secrets.find("job-password");
  needed = pin != nullptr;
  if (pin)
    addOption(options, "job-password", *pin);
  for (const Setting &s : kSettings) {
    if (s.colourOnly && !model.color)
      continue;
    std::string value;
    if (std::strcmp(s.name, "arvex-folder-password") == 0) {
      const std::string *secret = secrets.find(s.name);
      value = secret ? *secret : secretOf(papplJobGetPrinter(job), s.name);
    } else if (ipp_attribute_t *attr = values.find(s.name)) {
      if (const char *problem = jobControlProblem(attr, s.name)) {
        papplJobSetMessage(job, "%s %s.", s.name, problem);
        return false;
      }
      value = valueOf(attr, s);
    }
    const std::string name = s.name;
    if (name == "arvex-job-type") {
      // A PIN makes the job a locked print unless the job chose its type.
      if (value != "Normal" && !value.empty() && (!pin || values.own(s.name)))
        addOption(options, kPrefix + std::string("11AJobType"), value);
      needed = needed || (value != "Normal" && !value.empty());
    } else if (value.empty() || value == "false" || value == "Off" || value == "0") {
      continue;  // off, or not set
    } else if (name == "arvex-user-id") {
      addOption(options, kPrefix + std::string("11AUserID"), value);
    } else if (name == "arvex-user-code") {
      addOption(options, kPrefix + std::string("11AEnableUserCode"), "true");
      addOption(options, kPrefix + std::string("11AUserCode"), value);
    } else if (name == "arvex-file-name") {
      addOption(options, kPrefix + std::string("11AFileName"), value);
    } else if (name == "arvex-folder-number") {
      addOption(options, kPrefix + std::string("11AFolderNumber"), value);
    } else if (name == "arvex-folder-password") {
      addOption(options, kPrefix + std::string("11AFolderPassword"), value);
    } else if (name == "arvex-print-time") {
      addOption(options, kPrefix + std::string("11AEnableSpecifyTime"), "true");
      addOption(options, kPrefix + std::string("11ASpecifyTime"), value);
    } else if (name == "arvex-copy-control") {
      addOption(options, kPrefix + std::string("CCPCopyControlType"), value);
      needed = true;
    } else if (name == "arvex-marking-text") {
      addOption(options, kPrefix + std::string("CCPTextType"), "User Defined");
      addOption(options, kPrefix + std::string("CCPCustomText"), octal(value));
    } else if (name == "arvex-background-numbering" || name == "arvex-synchro-cut") {
      addOption(options, kPrefix + std::string(name == "arvex-synchro-cut" ? "SynchroCut" : "BackgroundNumbering") +
                             ".Valid", "On");
      needed = true;
    } else if (name == "arvex-banner-page") {
      addOption(options, "AXBannerPagePrint", "True");
      needed = true;
    } else {  // brightness, contrast
      addOption(options, kPrefix + std::string(name == "arvex-brightness" ? "14AColorBalanceBrightness"
                                                                          : "14AColorBalanceContrast"), value);
      needed = true;
    }
  }
  return true;
}

}  // namespace arvex::app
