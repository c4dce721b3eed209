// The PJL that goes before and after a job's data, written by the filters' own
// writers. Every call works on its own job record, so printers may build
// their heads on as many threads at once as they like.
#ifndef ARVEX_APP_JOB_HEAD_H
#define ARVEX_APP_JOB_HEAD_H

#include <arvex/jobinfo.h>

#include <memory>
#include <string>

namespace arvex::app {

// A job as the filter's arguments describe it.
struct JobRequest {
  std::string ppdPath;
  std::string jobId, user, title, copies;
  std::string options;  // "Key=Value ..." in CUPS option syntax
};

struct JobInfoDeleter {
  void operator()(JobInfo *job) const { DisposeJobInfo(job); }
};
using JobRecord = std::unique_ptr<JobInfo, JobInfoDeleter>;

// The job record of a request, as the filters build theirs from their
// arguments and the PPD; it points into request, which must outlive it.
// Null when the PPD can't be read.
JobRecord openJobRecord(const JobRequest &request);

// The job header, the PJL settings of the PPD marked with its defaults and
// the options, the authentication block and the switch to language ("PDF",
// "POSTSCRIPT"): the bytes the filters write before the data. false, with
// the reason in error, when the PPD can't be read or the writers fail.
bool buildJobHead(const JobRequest &request, std::string &head, std::string &error, const char *language = "PDF");

// The bytes the filter writes after the PDF.
std::string jobTrailer();

// Quote a value for CUPS option syntax: cupsParseOptions gives it back as
// it stands.
std::string optionValue(const std::string &value);

}  // namespace arvex::app

#endif
