// The job driver the two filters share: arguments, input and output, the
// job record and its PPD, the reporting thread, SIGTERM, the PJL frame and
// the one error message. Each filter brings what differs: what it must know
// before the first byte goes out, its language, and how its data is copied.
//
// CUPS runs a filter once per job as
//   FILTER job-id user title copies options [file]
// with PPD naming the queue's PPD. The PJL-wrapped job goes to standard
// output; failures end with one "ERROR:" line on standard error and exit 1.
#ifndef ARVEX_FILTER_JOB_H
#define ARVEX_FILTER_JOB_H

#include <arvex/buffer.h>
#include <arvex/jobinfo.h>

#include <cstdio>
#include <memory>
#include <string>

#include "../supply/reporting.h"

namespace arvex::filter {

class FilterJob;

class JobData {
public:
  virtual ~JobData() = default;
  // After the PPD is marked and before a byte is written: false fails the
  // job, with the message given to FilterJob::refuse or the latched code.
  virtual bool prepare(FilterJob &job) = 0;
  // The language the printer switches to ("PDF", "POSTSCRIPT").
  virtual const char *language() const = 0;
  // Copy the data between the language switch and the trailer; false fails
  // the job (code latched).
  virtual bool copy(FilterJob &job) = 0;
};

class FilterJob {
public:
  FilterJob(int argc, char *argv[], JobData &data) : argc_(argc), argv_(argv), data_(data) {}
  FilterJob(const FilterJob &) = delete;
  FilterJob &operator=(const FilterJob &) = delete;
  ~FilterJob() { release(); }

  // The whole job; the exit status.
  int run();

  JobInfo &job() const { return *job_; }
  char **argv() const { return argv_; }
  FILE *input() const { return in_; }
  FILE *output() const { return out_; }

  // A SIGTERM that has come ends the process here (status 1, no trailer).
  void exitIfTerminated();

  // Fail the job with "ERROR: " + message instead of the system's reason;
  // prepare() returns false after it.
  void refuse(std::string message) { refusal_ = std::move(message); }

private:
  int writeJob();
  int fail();
  void release();

  struct JobInfoDeleter {
    void operator()(JobInfo *job) const { DisposeJobInfo(job); }
  };
  struct ReportDeleter {
    void operator()(ReportLevelsContext *context) const { StopReportLevels(context); }
  };

  int argc_;
  char **argv_;
  JobData &data_;
  FILE *in_ = stdin;
  FILE *out_ = nullptr;
  std::string refusal_;
  std::unique_ptr<char[]> insertStorage_;
  InsertBuffer insertion_ = {};
  std::unique_ptr<JobInfo, JobInfoDeleter> job_;
  std::unique_ptr<ReportLevelsContext, ReportDeleter> report_;
};

// main() of a filter named name: the usage check, then the job.
int runFilter(int argc, char *argv[], const char *name, JobData &data);

}  // namespace arvex::filter

#endif
