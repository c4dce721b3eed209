// The job record, the option lookup, the PPD-choice classification and the
// job's time zone.

#include <arvex/error.h>
#include <arvex/jobinfo.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <sched.h>
#include <unistd.h>
#include <vector>

#include "Process.h"

namespace {

struct JobDeleter {
  void operator()(JobInfo *job) const { DisposeJobInfo(job); }
};
using JobPtr = std::unique_ptr<JobInfo, JobDeleter>;

// Arguments as CUPS passes them; PPD set or removed for the call.
JobPtr makeJob(std::vector<std::string> args, const char *ppd = nullptr)
{
  if (ppd)
    setenv("PPD", ppd, 1);
  else
    unsetenv("PPD");
  static std::vector<std::string> keep;
  keep = std::move(args);
  static std::vector<char *> argv;
  argv.clear();
  for (auto &a : keep)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  return JobPtr(CreateJobInfo(static_cast<int>(keep.size()), argv.data()));
}

class JobInfoTest : public ::testing::Test {
protected:
  void SetUp() override { err_no = 0; }
};

TEST_F(JobInfoTest, KeepsArgumentsAndBoundsTheCopiedNames)
{
  const std::string longUser(30, 'u');
  auto job = makeJob({"filter", "17", longUser, "Quarterly report", "1", ""});
  ASSERT_TRUE(job);
  EXPECT_STREQ(job->jobId, "17");
  EXPECT_EQ(std::string(job->userName), longUser);
  EXPECT_STREQ(job->jobTitle, "Quarterly report");
  EXPECT_EQ(std::string(job->hostLoginName), std::string(20, 'u'));

  char host[256] = {};
  gethostname(host, sizeof(host) - 1);
  EXPECT_STREQ(job->systemHostName, host);
  EXPECT_EQ(std::string(job->hostName), std::string(host).substr(0, 63));
  EXPECT_EQ(job->numOptions, 0);
  EXPECT_EQ(job->options, nullptr);
  EXPECT_EQ(job->ppd, nullptr);
}

TEST_F(JobInfoTest, HostNameIsCutTo63Bytes)
{
  // Rename the host inside a private UTS namespace of this test process.
  if (geteuid() != 0 || unshare(CLONE_NEWUTS) != 0)
    GTEST_SKIP() << "needs root to give the test its own host name";
  const std::string longName = std::string(51, 'h') + ".example.test";  // 64 bytes, the most Linux allows
  ASSERT_EQ(sethostname(longName.data(), longName.size()), 0);
  auto job = makeJob({"filter", "1", "u", "t", "1", ""});
  ASSERT_TRUE(job);
  EXPECT_EQ(std::string(job->systemHostName), longName);
  EXPECT_EQ(std::string(job->hostName), longName.substr(0, 63));
}

TEST_F(JobInfoTest, LargeOptionsStringIsParsed)
{
  // libcups inserts each option into a sorted array, so the count is kept
  // moderate and the values long.
  const std::string value(1000, 'v');
  std::string options;
  int count = 0;
  while (options.size() < (1u << 20))
    options += "key" + std::to_string(count++) + "='" + value + "' ";
  auto job = makeJob({"filter", "1", "u", "t", "1", options});
  ASSERT_TRUE(job);
  EXPECT_EQ(job->numOptions, count);
  EXPECT_STREQ(getCupsOption(job.get(), ("key" + std::to_string(count - 1)).c_str()), value.c_str());
}

TEST_F(JobInfoTest, MissingArgumentsReadAsEmpty)
{
  auto job = makeJob({"filter", "1"});
  ASSERT_TRUE(job);
  EXPECT_STREQ(job->userName, "");
  EXPECT_STREQ(job->jobTitle, "");
  EXPECT_EQ(job->numOptions, 0);
}

TEST_F(JobInfoTest, ParsesOptionsAndLatchesSixForAnAbsentOne)
{
  auto job = makeJob({"filter", "1", "u", "t", "1", "a=1 b='two words'"});
  ASSERT_TRUE(job);
  EXPECT_EQ(job->numOptions, 2);
  EXPECT_STREQ(getCupsOption(job.get(), "b"), "two words");
  EXPECT_EQ(err_no, 0);
  EXPECT_EQ(getCupsOption(job.get(), "missing"), nullptr);
  EXPECT_EQ(err_no, ARVEX_ERR_NOOPTION);
  EXPECT_EQ(getCupsOption(nullptr, "a"), nullptr);
}

TEST_F(JobInfoTest, OpensThePpdNamedByTheEnvironment)
{
  auto job = makeJob({"filter", "1", "u", "t", "1", ""}, arvex::test::fixturePath("ppd/choices.ppd").c_str());
  ASSERT_TRUE(job);
  EXPECT_NE(job->ppd, nullptr);
  auto missing = makeJob({"filter", "1", "u", "t", "1", ""}, "/nonexistent/queue.ppd");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->ppd, nullptr);
  EXPECT_EQ(err_no, 0);
}

TEST_F(JobInfoTest, ClassifiesTheMarkedChoice)
{
  auto job = makeJob({"filter", "1", "u", "t", "1", ""}, arvex::test::fixturePath("ppd/choices.ppd").c_str());
  ASSERT_TRUE(job && job->ppd);
  ppdMarkDefaults(job->ppd);
  EXPECT_EQ(getPPDChoice(job.get(), "AXTestChoice"), ARVEX_CHOICE_NONE);
  ASSERT_NE(ppdFindMarkedChoice(job->ppd, "AXTestLower"), nullptr);
  EXPECT_EQ(getPPDChoice(job.get(), "AXTestLower"), ARVEX_CHOICE_OTHER);
  ppdMarkOption(job->ppd, "AXTestChoice", "Other");
  EXPECT_EQ(getPPDChoice(job.get(), "AXTestChoice"), ARVEX_CHOICE_OTHER);
  ppdMarkOption(job->ppd, "AXUserId", "Custom.abc");
  EXPECT_EQ(getPPDChoice(job.get(), "AXUserId"), ARVEX_CHOICE_CUSTOM);
  EXPECT_EQ(getPPDChoice(job.get(), "NoSuchOption"), ARVEX_CHOICE_OTHER);
  EXPECT_EQ(getPPDChoice(nullptr, "AXUserId"), ARVEX_CHOICE_OTHER);

  auto noPpd = makeJob({"filter", "1", "u", "t", "1", ""});
  EXPECT_EQ(getPPDChoice(noPpd.get(), "AXUserId"), ARVEX_CHOICE_OTHER);
}

// TZ that getClientTimeZone sets when the process runs in zone.
std::string zoneFor(const char *zone, const char *options = "")
{
  setenv("TZ", zone, 1);
  auto job = makeJob({"filter", "1", "u", "t", "1", options});
  getClientTimeZone(job.get());
  const char *tz = getenv("TZ");
  return tz ? tz : "(unset)";
}

TEST_F(JobInfoTest, TimeZoneFromTheLocalZoneInPosixForm)
{
  EXPECT_EQ(zoneFor("JST-9"), "JST-9");
  EXPECT_EQ(zoneFor("EST5"), "EST5");
  EXPECT_EQ(zoneFor("IST-5:30"), "IST-5");
  EXPECT_EQ(zoneFor("UTC0"), "UTC0");
  EXPECT_EQ(zoneFor("NPT-5:45"), "NPT-5");
  EXPECT_EQ(zoneFor("NST3:30"), "NST3");
}

TEST_F(JobInfoTest, TimeZoneOptionIsTakenVerbatim)
{
  EXPECT_EQ(zoneFor("UTC0", "com.arvex.printsettings.11ATimeZone=Not/A_Zone"), "Not/A_Zone");
  EXPECT_EQ(err_no, 0);  // looked up without latching
}

}  // namespace
