// The job record and its look-ups, the time zone, the error latch, the text checks, lfsprintf, the line-end choice
// and the region searches.

#include <arvex/buffer.h>
#include <arvex/error.h>
#include <arvex/textcheck.h>

#include "arvex/test.h"

#include <cerrno>
#include <sched.h>
#include <tuple>
#include <unistd.h>

namespace {

using namespace arvex::test;

TEST(JobRecord, ArgumentsOptionsChoicesAndTimeZone)
{
  TestJob job({.ppd = "choices.ppd", .options = "AXUserId=Custom.abc b='two words'", .user = std::string(30, 'u')});
  const JobInfo *record = job.get();
  char host[256] = {};
  gethostname(host, sizeof(host) - 1);
  EXPECT_EQ(std::string(record->jobId) + record->userName + record->jobTitle, "42" + std::string(30, 'u') + "Report");
  EXPECT_EQ(std::tuple(std::string(record->hostLoginName), std::string(record->hostName), record->numOptions),
            std::tuple(std::string(20, 'u'), std::string(host).substr(0, 63), 2));
  EXPECT_STREQ(getCupsOption(record, "B"), "two words");  // names ignore letter case
  EXPECT_EQ(err_no, 0);
  EXPECT_EQ(getCupsOption(record, "c"), nullptr);
  EXPECT_EQ(err_no, ARVEX_ERR_NOOPTION);
  const std::pair<const char *, int> choices[] = {{"AXUserId", ARVEX_CHOICE_CUSTOM}, {"AXTestChoice", ARVEX_CHOICE_NONE},
                                                  {"AXTestLower", ARVEX_CHOICE_OTHER}, {"NoSuchOption", ARVEX_CHOICE_OTHER}};
  for (const auto &[keyword, expected] : choices)
    EXPECT_EQ(getPPDChoice(record, keyword), expected) << keyword;  // "custom" in lower case is no custom value
  ppdMarkOption(record->ppd, "AXTestChoice", "Other");
  EXPECT_EQ(getPPDChoice(record, "AXTestChoice") + getPPDChoice(nullptr, "a") + getPPDChoice(TestJob({}).get(), "a"), 0);

  char *shortArgv[] = {const_cast<char *>("filter"), const_cast<char *>("1"), nullptr};
  JobInfo *bare = CreateJobInfoWithPPD(2, shortArgv, nullptr);
  EXPECT_EQ(std::string(bare->userName) + bare->jobTitle + shown(bare->options == nullptr), "1");
  DisposeJobInfo(bare);
  EXPECT_EQ(getCupsOption(nullptr, "a"), nullptr);
  markJobPPD(nullptr);
  DisposeJobInfo(nullptr);

  for (const CaseRow &c : caseTable("jobcontext.txt#zones", 2)) {
    setenv("TZ", c[0].c_str(), 1);
    getClientTimeZone(TestJob({}).get());
    EXPECT_EQ(getenv("TZ"), c[1]) << c.where;
  }
  getClientTimeZone(TestJob({.options = PS "11ATimeZone=Not/A_Zone"}).get());
  EXPECT_EQ(shown(getenv("TZ"), err_no), "Not/A_Zone|0");
}

TEST(JobRecord, HostNameIsCutTo63Bytes)
{
  if (geteuid() != 0 || unshare(CLONE_NEWUTS) != 0)
    GTEST_SKIP() << "needs root for a host name of its own";
  const std::string name = std::string(51, 'h') + ".example.test";  // 64 bytes, the most Linux allows
  ASSERT_EQ(sethostname(name.data(), name.size()), 0);
  EXPECT_EQ(TestJob({}).get()->hostName, name.substr(0, 63));
}

TEST(ErrorLatchAndTextChecks, FirstCodeWinsMessageCutVersionsAndPrintableText)
{
  err_no = 0;
  latchError(ARVEX_ERR_NOOPTION), latchError(ARVEX_ERR_WRITE);
  EXPECT_EQ(err_no, ARVEX_ERR_NOOPTION);
  testing::internal::CaptureStderr();
  errno = EPIPE;
  writeError("Source/main", 551, std::string(150, 'm').c_str());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: " + std::string(92, 'm') + ": Broken pipe\n");

  for (const CaseRow &c : caseTable("jobcontext.txt#versions", 3)) {
    setenv("SOFTWARE", c[0].c_str(), 1);
    EXPECT_EQ(std::tuple(CUPSVersion(c[0].c_str()), getCupsVersion()), std::tuple(std::stoi(c[1]), std::stoi(c[2])))
        << c.where;
  }
  unsetenv("SOFTWARE");
  EXPECT_EQ(getCupsVersion() + CUPSVersion(nullptr), 0);
  for (const CaseRow &c : caseTable("jobcontext.txt#custom text", 4))
    EXPECT_EQ(isValidCustomText(c[0].c_str(), std::stoi(c[1]), std::stoi(c[2])), std::stoi(c[3])) << c.where;
  EXPECT_EQ(isValidCustomText(nullptr, 0, 128), 0);
}

TEST(Buffer, LfsprintfLineEndsAndRegionSearches)
{
  for (const CaseRow &c : caseTable("jobcontext.txt#lfsprintf", 5)) {
    GuardedBuffer buffer(std::stoul(c[1]));
    auto *append = &lfsprintf;  // through a pointer: these are not printf formats
    append(c[0].c_str(), buffer.get(), c[2].c_str());
    append(c[0].c_str(), buffer.get(), c[3].c_str(), -7, "abcdefghijklmnop");
    EXPECT_EQ(buffer.text(), c[4]) << c.where;
    EXPECT_TRUE(buffer.intact()) << c.where;
  }
  GuardedBuffer full(8);  // a cursor at the end: nothing written
  full.get()->cursor = full.get()->start + 8;
  lfsprintf("\n", full.get(), "x"), lfsprintf("\n", nullptr, "x");
  full.get()->cursor = full.get()->start;
  EXPECT_TRUE(full.intact());

  // Samples of exact size: nothing past them to lean on.
  for (const CaseRow &c : caseTable("jobcontext.txt#line end", 3)) {
    const std::vector<char> sample(c[0].begin(), c[0].end());
    GuardedBuffer holder(std::stoul(c[1]));
    getLinefeedCode(sample.data(), holder.get(), static_cast<int32_t>(sample.size()));
    EXPECT_EQ(holder.text(), c[2]) << c.where;
  }
  GuardedBuffer holder(3);  // no sample
  getLinefeedCode(nullptr, holder.get(), 10);
  EXPECT_EQ(holder.text(), "\n");

  const std::tuple<std::string, const char *, int> compares[] = {
      {"a", "ab", 2}, {"ax", "ab", 0}, {"xbc", "ab", 0}, {"abc", "ab", 1}, {"abc", "", 1}};
  for (const auto &[text, search, expected] : compares) {
    const std::vector<char> region(text.begin(), text.end());
    EXPECT_EQ(compareWithSearchString(region.data(), &region.back(), search), expected) << text;
  }
  const std::pair<std::string, int> lines[] = {{"ab\r\n\r\ncd", 6}, {"x\ny", 2}, {"ab\r\n", -1}, {"abcd", -1}};
  for (const auto &[text, at] : lines) {
    const std::vector<char> region(text.begin(), text.end());
    EXPECT_EQ(searchNextHeadOfLine(region.data(), &region.back()), at < 0 ? nullptr : region.data() + at) << text;
  }
  const std::string text = "ab\nc";
  EXPECT_EQ(searchNextHeadOfLine(text.data(), text.data() + 2), nullptr);  // the region ends at the LF
  EXPECT_EQ(searchNextHeadOfLine(text.data(), text.data() - 1), nullptr);
}

}  // namespace
