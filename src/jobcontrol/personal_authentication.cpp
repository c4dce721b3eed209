// Personal authentication: whether the job logs its user in at the device,
// with which user id, and the login comment that carries it.

#include <arvex/jobcontrol.h>

#include <cstring>

#include "../jobcontext/job_lookup.h"

namespace {

constexpr char kValidOption[] = "com.arvex.printsettings.PersonalAuthentication.Valid";
constexpr char kUserIdOption[] = "com.arvex.printsettings.PersonalAuthentication.UserID";

// Longest user id the device takes for personal authentication.
constexpr int kPaUserIdMax = 13;

}  // namespace

extern "C" {

// Write the login comment when personal authentication is on.
int getInsertStringForPersonalAuthentication(const JobInfo *job, InsertBuffer *out, const char *lf)
{
  if (PaGetFunctionValid(job) != 1)
    return 0;
  const char *userId = arvex::lookup::jobOptionOrLatch(job, kUserIdOption);
  if (!userId)
    userId = getPPDPaUserid(job);
  if (!userId)
    return 1;
  lfsprintf(lf, out, "%%%%LOGINGID: %s\n", userId);
  return 0;
}

// Personal authentication on or off: the job option decides when present.
int PaGetFunctionValid(const JobInfo *job)
{
  if (!job)
    return 0;
  const char *valid = arvex::lookup::jobOption(job, kValidOption);
  if (!valid)
    valid = getPPDPaFunctionValid(job);
  return arvex::lookup::isTrueIgnoringCase(valid) ? 1 : 0;
}

const char *getPPDPaFunctionValid(const JobInfo *job)
{
  return arvex::lookup::markedChoiceIs(job, "AXPersonalAuthentication", "True") ? "True" : "False";
}

// The user id the queue holds for personal authentication.
const char *getPPDPaUserid(const JobInfo *job)
{
  const char *choice = arvex::lookup::markedChoice(job, "AXPAUserCode");
  if (!choice)
    return nullptr;
  if (std::strcmp(choice, "Custom") != 0)
    return "";
  const std::optional<const char *> text = arvex::lookup::customText(job, "AXPAUserCode");
  if (!text)
    return nullptr;
  const char *userId = *text;
  if (!userId)
    return "";
  return isValidUserID(userId, 0, kPaUserIdMax, 0) ? userId : "";
}

}  // extern "C"
