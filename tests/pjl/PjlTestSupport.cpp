// Helpers of the PJL and user-authentication tests.

#include "PjlTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <unistd.h>

#include "Process.h"

namespace arvex::test {

std::unique_ptr<TestJob> makeJob(const std::string &ppdPath, const std::string &user, const std::string &options)
{
  if (ppdPath.empty())
    unsetenv("PPD");
  else
    setenv("PPD", ppdPath.c_str(), 1);
  auto job = std::make_unique<TestJob>();
  job->args = {"arvex-pdf-filter", "42", user, "title", "1", options};
  for (auto &a : job->args)
    job->argv.push_back(a.data());
  job->argv.push_back(nullptr);
  job->job.reset(CreateJobInfo(static_cast<int>(job->args.size()), job->argv.data()));
  if (!job->job)
    throw std::runtime_error("CreateJobInfo failed");
  if (job->job->options && job->job->ppd) {
    ppdMarkDefaults(job->job->ppd);
    cupsMarkOptions(job->job->ppd, job->job->numOptions, job->job->options);
  }
  return job;
}

std::string commandOutput(const std::string &command)
{
  FILE *p = popen(command.c_str(), "r");
  if (!p)
    throw std::runtime_error("popen failed: " + command);
  std::string out;
  char chunk[4096];
  size_t got;
  while ((got = fread(chunk, 1, sizeof(chunk), p)) > 0)
    out.append(chunk, got);
  pclose(p);
  return out;
}

std::string opensslPassword(const std::string &userName, const std::string &key, const std::string &password)
{
  TempFile material(userName + key);
  TempFile plain(password);
  // "openssl dgst -r" prints the digest in hex, a blank and the file name.
  const std::string digest = commandOutput("openssl dgst -sha256 -r " + material.path()).substr(0, 64);
  if (digest.size() != 64)
    throw std::runtime_error("openssl dgst gave no digest");
  return commandOutput("openssl enc -aes-256-cbc -K " + digest + " -iv " + digest.substr(0, 32) +
                       " -base64 -A -in " + plain.path());
}

std::string iconvFromUtf8(const std::string &charset, const std::string &text)
{
  TempFile in(text);
  return commandOutput("iconv -f UTF-8 -t " + charset + " " + in.path() + " 2>/dev/null");
}

std::string editedFixture(const std::string &name, const std::string &from, const std::string &to)
{
  std::string content = readFile(fixturePath("ppd/" + name));
  if (content.find(from) == std::string::npos)
    throw std::runtime_error(name + " does not hold " + from);
  for (size_t at = content.find(from); at != std::string::npos; at = content.find(from, at + to.size()))
    content.replace(at, from.size(), to);
  return content;
}

}  // namespace arvex::test
