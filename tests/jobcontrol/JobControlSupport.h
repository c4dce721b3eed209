// Shared by the job-control tests: a job record built the way a filter
// builds it (PPD from a fixture, defaults marked, then the job options), an
// output buffer with guard bytes, expected texts assembled line by line,
// and the time stamp read around a call.
#ifndef ARVEX_TEST_JOBCONTROL_SUPPORT_H
#define ARVEX_TEST_JOBCONTROL_SUPPORT_H

#include <arvex/buffer.h>
#include <arvex/error.h>
#include <arvex/jobinfo.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "Process.h"

namespace arvex::test {

// The host name every test job claims, so that expectations don't depend
// on the machine.
inline constexpr char kHostName[] = "pc-0417.example";

// A job record for fixture ppd ("" for no PPD) with the given options.
class TestJob {
public:
  explicit TestJob(const std::string &ppd, const std::string &options = "", const std::string &user = "alice")
  {
    if (ppd.empty())
      unsetenv("PPD");
    else
      setenv("PPD", fixturePath("ppd/" + ppd).c_str(), 1);
    args_ = {"arvex-test", "42", user, "Quarterly report", "1", options};
    for (auto &arg : args_)
      argv_.push_back(arg.data());
    argv_.push_back(nullptr);
    job_ = CreateJobInfo(static_cast<int>(args_.size()), argv_.data());
    if (!job_)
      return;
    if (!ppd.empty() && !job_->ppd)
      ADD_FAILURE() << "fixture PPD " << ppd << " did not open";
    if (job_->ppd) {
      ppdMarkDefaults(job_->ppd);
      cupsMarkOptions(job_->ppd, job_->numOptions, job_->options);
    }
    std::snprintf(job_->hostName, sizeof(job_->hostName), "%s", kHostName);
    err_no = 0;
  }
  TestJob(const TestJob &) = delete;
  TestJob &operator=(const TestJob &) = delete;
  ~TestJob() { DisposeJobInfo(job_); }

  const JobInfo *get() const { return job_; }
  JobInfo *mutableRecord() { return job_; }

private:
  std::vector<std::string> args_;
  std::vector<char *> argv_;
  JobInfo *job_ = nullptr;
};

// An InsertBuffer over storage followed by guard bytes that must never
// change.
class OutputBuffer {
public:
  explicit OutputBuffer(size_t capacity = 64 * 1024) : storage_(capacity + kGuard, '#')
  {
    std::memset(storage_.data(), 0, capacity);
    buf_ = {storage_.data(), capacity, storage_.data()};
  }
  InsertBuffer *get() { return &buf_; }
  std::string text() const { return std::string(buf_.start); }
  // The cursor sits on the terminator of the text and the guard is intact.
  bool consistent() const
  {
    for (size_t i = buf_.capacity; i < storage_.size(); ++i)
      if (storage_[i] != '#')
        return false;
    return buf_.cursor == buf_.start + std::strlen(buf_.start);
  }

private:
  static constexpr size_t kGuard = 16;
  std::vector<char> storage_;
  InsertBuffer buf_;
};

// Lines, each followed by the line end lf.
inline std::string lines(std::initializer_list<std::string_view> list, std::string_view lf = "\n")
{
  std::string text;
  for (auto line : list) {
    text += line;
    text += lf;
  }
  return text;
}

// The two pieces every block begins with.
inline std::string hostInformation(std::string_view lf)
{
  return lines({"mark{", "\t<<", "\t/HostCharSet 33", "\t/DriverType 5", "\t>>",
                "\t/ADeviceProcSet /ProcSet findresource /SetHostInfo get exec", "} stopped cleartomark", ""},
               lf);
}

inline std::string procedureDefinitions(std::string_view lf)
{
  return lines({"/isEnhancedFeatures",
                "\t{userdict /5d2e4a7c19 known { userdict /5d2e4a7c19 get /EnhancedFeatures known} if } bind def",
                "",
                "/isGenuine{",
                "\t2 dict begin",
                "\t/isGenuineFlag //false def",
                "\t//systemdict /execdict known  {",
                "\t\t//systemdict /execdict get /copyright known {",
                "\t\t\t/copyright //systemdict /execdict get /copyright get def",
                "\t\t\t{ copyright ( ) anchorsearch {",
                "\t\t\t\t\tpop /copyright exch def",
                "\t\t\t\t}{",
                "\t\t\t\t\tpop",
                "\t\t\t\t\texit",
                "\t\t\t\t} ifelse",
                "\t\t\t} loop",
                "",
                "\t\t\tcopyright ((c) Copyright 1984-) anchorsearch {",
                "\t\t\t\tpop pop",
                "\t\t\t\tcopyright ( Adobe Systems Incorporated) search {",
                "\t\t\t\t\tpop pop pop",
                "\t\t\t\t\tcopyright (All Rights Reserved.) search {",
                "\t\t\t\t\t\tpop pop pop",
                "\t\t\t\t\t\t/isGenuineFlag //true def",
                "\t\t\t\t\t}{",
                "\t\t\t\t\t\tpop",
                "\t\t\t\t\t} ifelse",
                "\t\t\t\t}{",
                "\t\t\t\t\tpop",
                "\t\t\t\t} ifelse",
                "\t\t\t}{",
                "\t\t\t\tpop",
                "\t\t\t} ifelse",
                "\t\t} if",
                "\t} if",
                "\tisGenuineFlag",
                "\tend",
                "}bind def"},
               lf);
}

// The local time as the job-type fragments stamp it, YYYYMMDDhhmm.
inline std::string stampNow()
{
  const time_t now = time(nullptr);
  struct tm local = {};
  localtime_r(&now, &local);
  char text[32] = {};
  std::strftime(text, sizeof(text), "%Y%m%d%H%M", &local);
  return text;
}

// Runs produce between two readings of the clock. The result must match
// expected(stamp) for the stamp before the call, or for the one after it
// when the minute rolled over meanwhile.
template <typename Produce, typename Expected>
void expectStamped(Produce produce, Expected expected)
{
  tzset();
  const std::string before = stampNow();
  const std::string actual = produce();
  const std::string after = stampNow();
  if (after != before && actual == expected(after))
    return;
  EXPECT_EQ(actual, expected(before));
}

// Every job-control test runs in a fixed time zone nine hours east of UTC
// and with the error latch clear.
class JobControlTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    setenv("TZ", "JST-9", 1);
    tzset();
    err_no = 0;
  }
};

}  // namespace arvex::test

#endif
