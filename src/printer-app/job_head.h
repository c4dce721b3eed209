// The PJL that goes before and after a job's PDF, written by the filter's own
// writers. Every call works on its own job record, so printers may build
// their heads on as many threads at once as they like.
#ifndef ARVEX_APP_JOB_HEAD_H
#define ARVEX_APP_JOB_HEAD_H

#include <string>

namespace arvex::app {

// A job as the filter's arguments describe it.
struct JobRequest {
  std::string ppdPath;
  std::string jobId, user, title, copies;
  std::string options;  // "Key=Value ..." in CUPS option syntax
};

// The job header, the PJL settings of the PPD marked with its defaults and
// the options, the authentication block and the switch to PDF: the bytes
// the filter writes before the PDF. false, with the reason in error, when
// the PPD can't be read or the writers fail.
bool buildJobHead(const JobRequest &request, std::string &head, std::string &error);

// The bytes the filter writes after the PDF.
std::string jobTrailer();

// Quote a value for CUPS option syntax: cupsParseOptions gives it back as
// it stands.
std::string optionValue(const std::string &value);

}  // namespace arvex::app

#endif
