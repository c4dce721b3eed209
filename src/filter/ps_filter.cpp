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
#include <arvex/jobinfo.h>

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

#include "dsc_insert.h"
#include "filter_job.h"
#include "job_texts.h"

namespace {

using arvex::filter::FilterJob;
namespace ps = arvex::ps;

const char *option(const JobInfo &job, const char *name)
{
  return cupsGetOption(name, job.numOptions, job.options);
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
  std::unique_ptr<InputSource> input_;
  std::unique_ptr<ps::DscInserter> inserter_;
  ps::JobTexts texts_;
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

// A refusal of the shared rules as the filter's failure.
bool refused(FilterJob &filter, const ps::Refusal &refusal)
{
  if (refusal.memory)
    latchError(ARVEX_ERR_MEMORY);
  else
    filter.refuse(refusal.why);
  return false;
}

bool PostScriptData::prepare(FilterJob &filter)
{
  JobInfo &job = filter.job();
  if (optionLost(filter.argv()[5], job)) {
    latchError(ARVEX_ERR_MEMORY);
    return false;
  }
  hidePin(filter.argv()[5]);
  if (const ps::Refusal refusal = ps::readyJob(job))
    return refused(filter, refusal);

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
  if (const ps::Refusal refusal = ps::buildTexts(job, inserter_->sample(), texts_))
    return refused(filter, refusal);
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
  const ps::Insertions texts = {texts_.comments, texts_.block, texts_.lineEnd};
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
