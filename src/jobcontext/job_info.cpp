// The job information record: arguments, host names, options and PPD.

#include <arvex/error.h>
#include <arvex/jobinfo.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "bounded_text.h"
#include "job_lookup.h"

namespace {

// argv[i] when the process was given it, else the empty text.
const char *argument(int argc, char *argv[], int i)
{
  return (argv && i < argc && argv[i]) ? argv[i] : "";
}

// A record that memory ran out for: released, 2 latched, no record.
JobInfo *outOfMemory(JobInfo *job)
{
  DisposeJobInfo(job);
  latchError(ARVEX_ERR_MEMORY);
  return nullptr;
}

}  // namespace

extern "C" {

JobInfo *CreateJobInfo(int argc, char *argv[])
{
  return CreateJobInfoWithPPD(argc, argv, std::getenv("PPD"));
}

JobInfo *CreateJobInfoWithPPD(int argc, char *argv[], const char *ppdPath)
{
  auto *job = static_cast<JobInfo *>(std::calloc(1, sizeof(JobInfo)));
  if (!job) {
    latchError(ARVEX_ERR_MEMORY);
    return nullptr;
  }
  job->jobId = argument(argc, argv, 1);
  job->userName = argument(argc, argv, 2);
  job->jobTitle = argument(argc, argv, 3);

  if (gethostname(job->systemHostName, sizeof(job->systemHostName) - 1) != 0)
    job->systemHostName[0] = '\0';
  arvex::strlcpy(job->hostLoginName, job->userName, sizeof(job->hostLoginName));
  arvex::strlcpy(job->hostName, job->systemHostName, sizeof(job->hostName));

  job->options = nullptr;
  job->numOptions = cupsParseOptions(argument(argc, argv, 5), 0, &job->options);
  // libcups leaves an option without name or value when it runs out of
  // memory; cupsMarkOptions would crash on it.
  for (int i = 0; i < job->numOptions; ++i) {
    if (!job->options[i].name || !job->options[i].value)
      return outOfMemory(job);
  }

  job->ppd = ppdPath ? ppdOpenFile(ppdPath) : nullptr;
  int line = 0;
  if (ppdPath && !job->ppd && ppdLastError(&line) == PPD_ALLOC_ERROR)
    return outOfMemory(job);
  return job;
}

void markJobPPD(JobInfo *job)
{
  if (!job || !job->ppd || !job->options)
    return;
  ppdMarkDefaults(job->ppd);
  cupsMarkOptions(job->ppd, job->numOptions, job->options);
}

// Release everything the record owns, then the record.
void DisposeJobInfo(JobInfo *job)
{
  if (!job)
    return;
  cupsFreeOptions(job->numOptions, job->options);
  if (job->ppd)
    ppdClose(job->ppd);
  std::free(job);
}

// Look a job option up; an absent one latches 6.
const char *getCupsOption(const JobInfo *job, const char *key)
{
  return arvex::lookup::jobOptionOrLatch(job, key);
}

// Classify the marked choice of a PPD option: Custom 2, None 1, else 0.
int getPPDChoice(const JobInfo *job, const char *keyword)
{
  if (!job || !job->ppd || !keyword)
    return ARVEX_CHOICE_OTHER;
  const ppd_choice_t *choice = ppdFindMarkedChoice(job->ppd, keyword);
  if (!choice)
    return ARVEX_CHOICE_OTHER;
  if (std::strcmp(choice->choice, "None") == 0)
    return ARVEX_CHOICE_NONE;
  if (std::strcmp(choice->choice, "Custom") == 0)
    return ARVEX_CHOICE_CUSTOM;
  return ARVEX_CHOICE_OTHER;
}

}  // extern "C"
