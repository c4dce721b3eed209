// The job record readied for its block, and the texts built (see
// job_texts.h).

#include "job_texts.h"

#include <arvex/buffer.h>
#include <arvex/error.h>
#include <arvex/jobcontrol.h>
#include <arvex/marking.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "block_values.h"

namespace arvex::ps {

namespace {

constexpr char kUserIdOption[] = "com.arvex.printsettings.11AUserID";
constexpr char kPasswordOption[] = "com.arvex.printsettings.11APassword";
constexpr char kJobTypeOption[] = "com.arvex.printsettings.11AJobType";
// Room for the comment lines and for the block; a block that fills it was
// cut, and the job fails rather than send it.
constexpr size_t kTextSize = 64 * 1024;

// Options the block reads from the job alone (a PPD command for the job's
// choice, else for "Default"): the queue's choice is given to it as a job
// option when the job has none.
constexpr const char *kChoiceOptions[] = {"OutputBin", "AXBannerPageInputSlot", "AXBannerPageMediaType",
                                          "AXBannerPagePrint"};

// The library keeps static work buffers.
std::mutex libraryMutex;

const char *option(const JobInfo &job, const char *name)
{
  return cupsGetOption(name, job.numOptions, job.options);
}

// Give the job an option. libcups leaves the options as they were when
// memory runs out; false then, so that a locked print never goes out as an
// ordinary one.
bool setOption(JobInfo &job, const char *name, const char *value)
{
  job.numOptions = cupsAddOption(name, value, job.numOptions, &job.options);
  const char *set = option(job, name);
  return set && std::strcmp(set, value) == 0;
}

Refusal refusal(std::string why)
{
  return {std::move(why), false};
}

const Refusal kNoMemory = {"", true};

// job-password: a PIN of 4 to 8 digits makes the job a locked print with the
// PIN as its password and the job's user as its user ID, as far as the job
// doesn't say otherwise itself.
Refusal takeJobPassword(JobInfo &job)
{
  const char *pin = option(job, "job-password");
  if (!pin)
    return {};
  const char *encryption = option(job, "job-password-encryption");
  if (const char *problem = pinProblem(pin, encryption ? encryption : ""))
    return refusal(std::string("Can't print the job locked: ") + problem + ".");
  const bool typeChosen = option(job, kJobTypeOption) || option(job, "AXJobType");
  if (!typeChosen && !setOption(job, kJobTypeOption, "Locked Print"))
    return kNoMemory;
  if (!option(job, kPasswordOption) && !setOption(job, kPasswordOption, pin))
    return kNoMemory;
  if (!typeChosen && !option(job, kUserIdOption) && !option(job, "AXUserId") && job.userName && *job.userName &&
      !setOption(job, kUserIdOption, job.userName))
    return kNoMemory;
  return {};
}

// A job type that holds the job at the printer needs a user ID to find it
// by (the job's user when neither the job nor the queue gives one), and a
// locked print a password the printer takes.
Refusal checkIdentity(JobInfo &job)
{
  const int type = getJobType(&job);
  if (type != ARVEX_JOB_NORMAL && type != ARVEX_JOB_DOCUMENT_SERVER && !option(job, kUserIdOption)) {
    const char *queueId = getPPDUserid(&job);
    const bool queueHasOne = queueId && *queueId;
    if (!queueHasOne && (!job.userName || !*job.userName))
      return refusal("Can't print the job: its job type needs a user ID, and neither the job nor the queue gives "
                     "one.");
    if (!queueHasOne && !setOption(job, kUserIdOption, job.userName))
      return kNoMemory;
  }
  if (type == ARVEX_JOB_LOCKED) {
    const char *password = option(job, kPasswordOption);
    if (pinProblem(password ? password : getPPDPassword(&job), ""))
      return refusal("Can't print the job locked: it needs a password of 4 to 8 digits (the job's PIN, or "
                     "AXPassword).");
  }
  return {};
}

Refusal checkValues(const JobInfo &job)
{
  if (const char *problem = userNameProblem(job.userName ? job.userName : ""))
    return refusal(std::string("Can't print the job: the user name ") + problem + ".");
  for (int i = 0; i < job.numOptions; ++i)
    if (const char *problem = blockValueProblem(job.options[i].name, job.options[i].value))
      return refusal(std::string("Can't print the job: the value of ") + job.options[i].name + " " + problem + ".");
  return {};
}

}  // namespace

Refusal readyJob(JobInfo &job)
{
  if (!job.ppd)
    return refusal("Can't print the job: the queue's PPD can't be read, and a PostScript job takes its job type "
                   "and settings from it.");
  // The queue's defaults count even for a job without options.
  ppdMarkDefaults(job.ppd);
  cupsMarkOptions(job.ppd, job.numOptions, job.options);
  for (const char *name : kChoiceOptions) {
    const ppd_choice_t *choice = ppdFindMarkedChoice(job.ppd, name);
    if (choice && !option(job, name) && !setOption(job, name, choice->choice))
      return kNoMemory;
  }
  if (Refusal r = takeJobPassword(job))
    return r;
  if (Refusal r = checkIdentity(job))
    return r;
  return checkValues(job);
}

Refusal buildTexts(JobInfo &job, std::string_view sample, JobTexts &texts)
{
  const std::lock_guard<std::mutex> lock(libraryMutex);
  const int length = static_cast<int>(sample.size());
  std::vector<char> storage(kTextSize, '\0');
  InsertBuffer out = {storage.data(), storage.size(), storage.data()};
  if (getInsertComment(&job, &out, sample.data(), length) != 0)
    return refusal("Can't print the job: personal authentication is on, but no login user ID is set "
                   "(com.arvex.printsettings.PersonalAuthentication.UserID or the queue's AXPAUserCode).");
  if (getInsertCommentOfTargetDevice(&job, &out, sample.data(), length) != 0)
    return refusal("Can't print the job: the queue's PPD names no Product or PSVersion for the printer.");
  texts.comments.assign(storage.data());

  std::fill(storage.begin(), storage.end(), '\0');
  out.cursor = storage.data();
  if (getInsertString(&job, &out, sample.data(), length) != 0)
    return refusal(getCopyControlType(&job) != 0 ? "Can't print the job: copy control needs a font (the queue's "
                                                   "AXFont or com.arvex.printsettings.CCPFont)."
                                                 : "Can't print the job: its job-control settings can't be built.");
  texts.block.assign(storage.data());
  explicit_bzero(storage.data(), storage.size());  // the block may hold a password
  if (texts.comments.size() >= kTextSize - 1 || texts.block.size() >= kTextSize - 1)
    return refusal("Can't print the job: its job-control settings are too long.");

  LinefeedCode lf = {};
  InsertBuffer lfBuffer = {lf, sizeof(lf), lf};
  getLinefeedCode(sample.data(), &lfBuffer, length);
  texts.lineEnd.assign(lf);
  err_no = 0;  // the absent options the library looked up are no failure
  return {};
}

}  // namespace arvex::ps
