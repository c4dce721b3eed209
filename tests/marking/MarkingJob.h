// A job record for the marking tests: a PPD fixture (or a PPD written for
// the test, or none), marked with its defaults, plus job options added
// without the option parser's quoting rules, so that octal notation with
// backslashes arrives as it is.
#ifndef ARVEX_TEST_MARKING_JOB_H
#define ARVEX_TEST_MARKING_JOB_H

#include <arvex/error.h>
#include <arvex/jobinfo.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "Process.h"

namespace arvex::test {

class MarkingJob {
public:
  // ppdPath empty: a job without PPD.
  explicit MarkingJob(const std::string &ppdPath, std::string user = "alice", std::string title = "Report")
      : args_{"filter", "42", std::move(user), std::move(title), "1", ""}
  {
    if (ppdPath.empty())
      unsetenv("PPD");
    else
      setenv("PPD", ppdPath.c_str(), 1);
    std::vector<char *> argv;
    for (auto &a : args_)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    job_ = CreateJobInfo(static_cast<int>(args_.size()), argv.data());
    if (job_ && job_->ppd)
      ppdMarkDefaults(job_->ppd);
  }
  ~MarkingJob() { DisposeJobInfo(job_); }
  MarkingJob(const MarkingJob &) = delete;
  MarkingJob &operator=(const MarkingJob &) = delete;

  MarkingJob &option(const char *key, const std::string &value)
  {
    job_->numOptions = cupsAddOption(key, value.c_str(), job_->numOptions, &job_->options);
    return *this;
  }

  MarkingJob &mark(const char *keyword, const std::string &choice)
  {
    EXPECT_NE(job_->ppd, nullptr);
    if (job_->ppd)
      ppdMarkOption(job_->ppd, keyword, choice.c_str());
    return *this;
  }

  const JobInfo *get() const { return job_; }
  operator const JobInfo *() const { return job_; }

private:
  std::vector<std::string> args_;
  JobInfo *job_ = nullptr;
};

// Path of a marking fixture.
inline std::string markingPpd(const char *name)
{
  return fixturePath(std::string("ppd/") + name);
}

// Write a PPD made of the common header and the given lines into the test's
// temporary directory; returns its path.
inline std::string writePpd(const std::string &name, const std::string &lines)
{
  const std::string path = ::testing::TempDir() + "/" + name + ".ppd";
  std::ofstream out(path);
  out << "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n"
         "*LanguageVersion: English\n*LanguageEncoding: ISOLatin1\n*PCFileName: \"MKTEST.PPD\"\n"
         "*Manufacturer: \"Arvex\"\n*Product: \"(Arvex Marking Test)\"\n*ModelName: \"Arvex Marking Test\"\n"
         "*ShortNickName: \"Arvex Marking Test\"\n*NickName: \"Arvex Marking Test\"\n"
         "*PSVersion: \"(3010.000) 0\"\n"
      << lines;
  return path;
}

// The byte b as a PostScript octal escape.
inline std::string escapeOf(unsigned char b)
{
  const char text[5] = {'\\', static_cast<char>('0' + (b >> 6)), static_cast<char>('0' + ((b >> 3) & 7)),
                        static_cast<char>('0' + (b & 7)), '\0'};
  return text;
}

// Every byte of bytes as an escape.
inline std::string escaped(const std::string &bytes)
{
  std::string out;
  for (unsigned char b : bytes)
    out += escapeOf(b);
  return out;
}

// Clears err_no before each case.
class MarkingTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    err_no = 0;
    unsetenv("SOFTWARE");
  }
};

}  // namespace arvex::test

#endif
