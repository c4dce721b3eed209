// Helpers of the PJL and user-authentication tests: jobs over a marked
// PPD, temporary files, and expected bytes from the openssl and iconv
// commands.
#ifndef ARVEX_TEST_PJL_SUPPORT_H
#define ARVEX_TEST_PJL_SUPPORT_H

#include <arvex/jobinfo.h>

#include <memory>
#include <string>
#include <vector>

namespace arvex::test {

struct JobDeleter {
  void operator()(JobInfo *job) const { DisposeJobInfo(job); }
};

// A job record with its arguments kept alive.
struct TestJob {
  std::vector<std::string> args;
  std::vector<char *> argv;
  std::unique_ptr<JobInfo, JobDeleter> job;
  JobInfo *get() const { return job.get(); }
};

// A job for user with the options text, over the PPD at ppdPath (none when
// empty), marked like the filter marks it: the PPD's defaults, then the job
// options, only when the job has options.
std::unique_ptr<TestJob> makeJob(const std::string &ppdPath, const std::string &user, const std::string &options);

// What a shell command writes to standard output.
std::string commandOutput(const std::string &command);

// The Base64 text that the openssl command gives for password encrypted with
// AES-256-CBC, key = SHA-256 of userName followed by key, IV = its first 16
// bytes. All three are taken as raw bytes.
std::string opensslPassword(const std::string &userName, const std::string &key, const std::string &password);

// text converted from UTF-8 to charset by the iconv command (what it
// converts before a failure, if any).
std::string iconvFromUtf8(const std::string &charset, const std::string &text);

// Content of a fixture PPD with every occurrence of from replaced by to.
std::string editedFixture(const std::string &name, const std::string &from, const std::string &to);

}  // namespace arvex::test

#endif
