// arvex-ps-filter: puts the job-control block into a PostScript job and
// wraps the job in PJL for Arvex printers.
//
//   arvex-ps-filter job-id user title copies options [file]
//
// The input is PostScript as CUPS's pstops leaves it. Before a byte goes
// out, the filter reads the start of the job (and drops an incoming PJL
// header), turns a job-password PIN into a locked print, checks the values
// the block carries as they stand, and builds the block and the comment
// lines for the queue's PPD; anything wrong ends the job there, so a locked
// job never prints unlocked. Then the frame and settings of arvex-pdf-filter
// go out with "@PJL ENTER LANGUAGE = POSTSCRIPT", and the PostScript with
// the comments before %%EndComments and the block after %%BeginSetup (the
// places: postscript/dsc_insert.h).

#include <arvex/error.h>
#include <arvex/jobcontrol.h>
#include <arvex/jobinfo.h>
#include <arvex/marking.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "block_values.h"
#include "dsc_insert.h"
#include "filter_job.h"

namespace {

using arvex::filter::FilterJob;
namespace ps = arvex::ps;

constexpr char kUserIdOption[] = "com.arvex.printsettings.11AUserID";
constexpr char kPasswordOption[] = "com.arvex.printsettings.11APassword";
constexpr char kJobTypeOption[] = "com.arvex.printsettings.11AJobType";
// Room for the comment lines and for the block; a block that fills it was
// cut, and the job fails rather than send it.
constexpr size_t kTextSize = 64 * 1024;

// Options the block reads from the job alone (a PPD command for the job's
// choice, else for "Default"): the queue's default choice is given to it as
// a job option when the job has none.
constexpr const char *kChoiceOptions[] = {"OutputBin", "AXBannerPageInputSlot", "AXBannerPageMediaType",
                                          "AXBannerPagePrint"};

const char *option(const JobInfo &job, const char *name)
{
  return cupsGetOption(name, job.numOptions, job.options);
}

// Give the job an option. libcups leaves the options as they were when
// memory runs out; false then (with the code latched), so that a locked
// print never goes out as an ordinary one.
bool setOption(JobInfo &job, const char *name, const char *value)
{
  job.numOptions = cupsAddOption(name, value, job.numOptions, &job.options);
  const char *set = option(job, name);
  if (set && std::strcmp(set, value) == 0)
    return true;
  latchError(ARVEX_ERR_MEMORY);
  return false;
}

bool needsUserId(int jobType)
{
  return jobType != ARVEX_JOB_NORMAL && jobType != ARVEX_JOB_DOCUMENT_SERVER;
}

class InputSource : public ps::ByteSource {
public:
  explicit InputSource(FilterJob &job) : job_(job) {}
  ssize_t read(char *data, size_t size) override
  {
    for (;;) {
      const ssize_t got = ::read(fileno(job_.input()), data, size);
      job_.exitIfTerminated();
      if (got >= 0 || errno != EINTR)
        return got;
    }
  }

private:
  FilterJob &job_;
};

class OutputSink : public ps::ByteSink {
public:
  explicit OutputSink(FilterJob &job) : job_(job) {}
  bool write(const char *data, size_t size) override
  {
    if (std::fwrite(data, 1, size, job_.output()) == size)
      return true;
    job_.exitIfTerminated();
    return false;
  }

private:
  FilterJob &job_;
};

class PostScriptData : public arvex::filter::JobData {
public:
  bool prepare(FilterJob &job) override;
  const char *language() const override { return "POSTSCRIPT"; }
  bool copy(FilterJob &job) override;

private:
  bool takeJobPassword(FilterJob &job);
  bool checkIdentity(FilterJob &job);
  bool checkValues(FilterJob &job);
  bool buildTexts(FilterJob &job);

  std::unique_ptr<InputSource> input_;
  std::unique_ptr<ps::DscInserter> inserter_;
  std::string comments_;
  std::string block_;
  std::string lineEnd_;
};

// Whether an option of the options argument is missing from those parsed
// from it: libcups drops options without a word when memory runs out, and a
// job that lost its PIN or job type would print unlocked. The argument is
// read as libcups reads it: names up to "=" or a blank, values up to a
// blank outside quotes, braces and backslash escapes, "noNAME" for NAME
// false.
bool optionLost(const char *arg, const JobInfo &job)
{
  for (const char *p = arg; p && *p;) {
    while (std::isspace(static_cast<unsigned char>(*p)))
      ++p;
    const char *name = p;
    while (*p && *p != '=' && !std::isspace(static_cast<unsigned char>(*p)))
      ++p;
    const std::string key(name, p);
    if (!key.empty() && !option(job, key.c_str()) && !(key.starts_with("no") && option(job, key.c_str() + 2)))
      return true;
    char quote = 0;
    int braces = 0;
    for (p += *p == '='; *p && (quote || braces || !std::isspace(static_cast<unsigned char>(*p))); ++p) {
      if (*p == '\\' && p[1])
        ++p;
      else if (quote)
        quote = *p == quote ? 0 : quote;
      else if (*p == '\'' || *p == '"')
        quote = *p;
      else
        braces += *p == '{' ? 1 : *p == '}' && braces > 0 ? -1 : 0;
    }
  }
  return false;
}

// Blank the value of job-password in the options argument, which the job's
// options have been parsed from: what the process's command line shows to
// every local user (/proc/PID/cmdline) no longer holds the PIN.
void hidePin(char *options)
{
  static constexpr std::string_view kName = "job-password=";
  for (char *at = options; at && (at = std::strstr(at, kName.data())); at += kName.size()) {
    if (at != options && at[-1] != ' ' && at[-1] != '\t')
      continue;
    for (char *c = at + kName.size(); *c && *c != ' ' && *c != '\t'; ++c)
      *c = 'x';
  }
}

// job-password: a PIN of 4 to 8 digits makes the job a locked print with the
// PIN as its password and the job's user as its user ID, as far as the job
// doesn't say otherwise itself.
bool PostScriptData::takeJobPassword(FilterJob &filter)
{
  JobInfo &job = filter.job();
  if (optionLost(filter.argv()[5], job)) {
    latchError(ARVEX_ERR_MEMORY);
    return false;
  }
  hidePin(filter.argv()[5]);
  const char *pin = option(job, "job-password");
  if (!pin)
    return true;
  const char *encryption = option(job, "job-password-encryption");
  if (const char *problem = ps::pinProblem(pin, encryption ? encryption : "")) {
    filter.refuse(std::string("Can't print the job locked: ") + problem + ".");
    return false;
  }
  const bool typeChosen = option(job, kJobTypeOption) || option(job, "AXJobType");
  if (!typeChosen && !setOption(job, kJobTypeOption, "Locked Print"))
    return false;
  if (!option(job, kPasswordOption) && !setOption(job, kPasswordOption, pin))
    return false;
  if (!typeChosen && !option(job, kUserIdOption) && !option(job, "AXUserId") && job.userName && *job.userName)
    return setOption(job, kUserIdOption, job.userName);
  return true;
}

// A job type that holds the job at the printer needs a user ID to find it
// by (the job's user when neither the job nor the queue gives one), and a
// locked print a password the printer takes.
bool PostScriptData::checkIdentity(FilterJob &filter)
{
  JobInfo &job = filter.job();
  const int type = getJobType(&job);
  if (needsUserId(type) && !option(job, kUserIdOption)) {
    const char *queueId = getPPDUserid(&job);
    if ((!queueId || !*queueId) && job.userName && *job.userName) {
      if (!setOption(job, kUserIdOption, job.userName))
        return false;
    } else if (!queueId || !*queueId) {
      filter.refuse("Can't print the job: its job type needs a user ID, and neither the job nor the queue gives one.");
      return false;
    }
  }
  if (type == ARVEX_JOB_LOCKED) {
    const char *password = option(job, kPasswordOption);
    if (!password)
      password = getPPDPassword(&job);
    if (ps::pinProblem(password, "")) {
      filter.refuse("Can't print the job locked: it needs a password of 4 to 8 digits (the job's PIN, or AXPassword).");
      return false;
    }
  }
  return true;
}

bool PostScriptData::checkValues(FilterJob &filter)
{
  const JobInfo &job = filter.job();
  if (const char *problem = ps::userNameProblem(job.userName ? job.userName : "")) {
    filter.refuse(std::string("Can't print the job: the user name ") + problem + ".");
    return false;
  }
  for (int i = 0; i < job.numOptions; ++i) {
    if (const char *problem = ps::blockValueProblem(job.options[i].name, job.options[i].value)) {
      filter.refuse(std::string("Can't print the job: the value of ") + job.options[i].name + " " + problem + ".");
      return false;
    }
  }
  return true;
}

bool PostScriptData::buildTexts(FilterJob &filter)
{
  JobInfo &job = filter.job();
  const std::string_view sample = inserter_->sample();
  const int length = static_cast<int>(sample.size());
  std::vector<char> storage(kTextSize, '\0');
  InsertBuffer out = {storage.data(), storage.size(), storage.data()};

  if (getInsertComment(&job, &out, sample.data(), length) != 0) {
    filter.refuse("Can't print the job: personal authentication is on, but no login user ID is set "
                  "(com.arvex.printsettings.PersonalAuthentication.UserID or the queue's AXPAUserCode).");
    return false;
  }
  if (getInsertCommentOfTargetDevice(&job, &out, sample.data(), length) != 0) {
    filter.refuse("Can't print the job: the queue's PPD names no Product or PSVersion for the printer.");
    return false;
  }
  comments_.assign(storage.data());

  std::fill(storage.begin(), storage.end(), '\0');
  out.cursor = storage.data();
  if (getInsertString(&job, &out, sample.data(), length) != 0) {
    filter.refuse(getCopyControlType(&job) != 0
                      ? "Can't print the job: copy control needs a font (the queue's AXFont or "
                        "com.arvex.printsettings.CCPFont)."
                      : "Can't print the job: its job-control settings can't be built.");
    return false;
  }
  block_.assign(storage.data());
  if (comments_.size() >= kTextSize - 1 || block_.size() >= kTextSize - 1) {
    filter.refuse("Can't print the job: its job-control settings are too long.");
    return false;
  }

  LinefeedCode lf = {};
  InsertBuffer lfBuffer = {lf, sizeof(lf), lf};
  getLinefeedCode(sample.data(), &lfBuffer, length);
  lineEnd_.assign(lf);
  return true;
}

bool PostScriptData::prepare(FilterJob &filter)
{
  JobInfo &job = filter.job();
  if (!job.ppd) {
    filter.refuse("Can't print the job: the queue's PPD can't be read, and a PostScript job takes its job type "
                  "and settings from it.");
    return false;
  }
  // The queue's defaults count even for a job without options.
  ppdMarkDefaults(job.ppd);
  cupsMarkOptions(job.ppd, job.numOptions, job.options);
  for (const char *name : kChoiceOptions) {
    const ppd_choice_t *choice = ppdFindMarkedChoice(job.ppd, name);
    if (choice && !option(job, name) && !setOption(job, name, choice->choice))
      return false;
  }
  if (!takeJobPassword(filter) || !checkIdentity(filter) || !checkValues(filter))
    return false;

  input_ = std::make_unique<InputSource>(filter);
  inserter_ = std::make_unique<ps::DscInserter>(*input_);
  const ps::InputKind kind = inserter_->readHead();
  if (kind == ps::InputKind::Unreadable) {
    latchError(ARVEX_ERR_READ);
    return false;
  }
  if (kind == ps::InputKind::SecondJob) {
    filter.refuse("Can't print the job: its data holds a second job after its end; nothing was sent to the printer.");
    return false;
  }
  if (kind != ps::InputKind::PostScript) {
    filter.refuse(std::string("Can't print the job: its data is ") + ps::describeInput(kind) +
                  ", not PostScript; nothing was sent to the printer.");
    return false;
  }
  if (!buildTexts(filter))
    return false;
  err_no = 0;  // the absent options the library looked up are no failure
  return true;
}

bool PostScriptData::copy(FilterJob &filter)
{
  const JobInfo &job = filter.job();
  // The printer makes the copies (pstops asks for them) unless the PPD says
  // they are made in the data.
  const int copies = job.ppd->manual_copies ? 1 : std::max(1, std::atoi(filter.argv()[4]));
  int page = 0;
  OutputSink out(filter);
  const ps::Insertions texts = {comments_, block_, lineEnd_};
  switch (inserter_->copy(out, texts, [&] { std::fprintf(stderr, "PAGE: %d %d\n", ++page, copies); })) {
  case ps::CopyResult::Done:
    return true;
  case ps::CopyResult::ReadFailed:
    latchError(ARVEX_ERR_READ);
    return false;
  case ps::CopyResult::WriteFailed:
    latchError(ARVEX_ERR_WRITE);
    return false;
  case ps::CopyResult::SecondJob:
    filter.refuse("The job's data holds a second job after its end; the second job was not sent to the printer.");
    return false;
  }
  return false;
}

}  // namespace

int main(int argc, char *argv[])
{
  PostScriptData data;
  return arvex::filter::runFilter(argc, argv, "arvex-ps-filter", data);
}
