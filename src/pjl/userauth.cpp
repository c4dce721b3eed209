// Whether user authentication is in force for a job, and the login user
// name and password field it sends. A job option decides alone when it is
// present; otherwise the marked PPD choices do.

#include <arvex/textencoding.h>
#include <arvex/userauth.h>

#include <cstring>
#include <strings.h>

#include "../jobcontext/job_lookup.h"

namespace {

constexpr char kEnableOption[] = "com.arvex.printsettings.UserAuth.EnableUserAuth";
constexpr char kLoginUserNameOption[] = "com.arvex.printsettings.UserAuth.LoginUserName";
constexpr char kEncryptedPasswordOption[] = "com.arvex.printsettings.UserAuth.EncryptedPasswordAuth";

// User names are cut to this many bytes before conversion.
constexpr int kUserNameLimit = 128;

}  // namespace

extern "C" {

// User authentication is in force when the model supports it and the job
// (or the PPD default) switches it on.
int UaGetFunctionValid(const JobInfo *job)
{
  if (!job || !job->ppd)
    return 0;
  if (!arvex::lookup::attributeIs(job, "AXUserAuthenticationSupport", "true"))
    return 0;
  const char *value = getCupsOption(job, kEnableOption);
  if (!value)
    value = getPPDUaFunctionValid(job);
  return strcasecmp(value, "True") == 0 ? 1 : 0;
}

// The PPD's on/off setting as text.
const char *getPPDUaFunctionValid(const JobInfo *job)
{
  return arvex::lookup::markedChoiceIsIgnoringCase(job, "AXEnableUserAuth", "true") ? "true" : "False";
}

// The login user name, converted to the job's character set.
int UaGetLoginUserName(const JobInfo *job, char *out, int size)
{
  const char *name = getCupsOption(job, kLoginUserNameOption);
  if (!name)
    name = getPPDLoginUserName(job);
  if (!name)
    return -1;
  // The name is cut to 128 bytes; a smaller output lowers the cut so the
  // output keeps its terminator.
  int limit = kUserNameLimit;
  if (size > 0 && size <= limit)
    limit = size - 1;
  if (out && size != 0)
    convertUtf8ToLocal(job, name, out, limit);
  return 0;
}

// The login user name that the PPD settings give.
const char *getPPDLoginUserName(const JobInfo *job)
{
  if (getPPDLoginUserNameType(job) == 1)
    return job->userName;
  const char *text = getPPDLoginUserNameText(job);
  if (getCupsVersion() == 1)
    return text;
  return isValidCustomText(text, 1, kUserNameLimit) ? text : nullptr;
}

// 1 when the PPD takes the filter's user as login name.
int getPPDLoginUserNameType(const JobInfo *job)
{
  return arvex::lookup::markedChoiceIsIgnoringCase(job, "AXAuthLoginUserNameType", "LoginUserName") ? 1 : 0;
}

const char *getPPDLoginUserNameText(const JobInfo *job)
{
  switch (getPPDChoice(job, "AXAuthLoginUserNameText")) {
  case ARVEX_CHOICE_NONE:
    return nullptr;
  case ARVEX_CHOICE_CUSTOM: {
    // A missing parameter, or a numeric one that holds no text, gives "".
    return arvex::lookup::customText(job, "AXAuthLoginUserNameText").value_or("");
  }
  default:
    return "";
  }
}

// The password field: a ready-made one from the job, else the PPD's,
// encrypted. Whatever is copied, the output stays terminated.
int UaGetPassword(const JobInfo *job, char *out, int size)
{
  if (!out || size < 0)
    return 0;
  const char *ready = getCupsOption(job, kEncryptedPasswordOption);
  if (ready) {
    if (size > 0) {
      size_t n = std::strlen(ready);
      if (n > static_cast<size_t>(size) - 1)
        n = static_cast<size_t>(size) - 1;
      std::memcpy(out, ready, n);
      out[n] = '\0';
    }
    return 0;
  }
  getPPDAuthenticationPassword(job, out, size);
  return 0;
}

}  // extern "C"
