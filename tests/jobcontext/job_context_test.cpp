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

  const std::pair<const char *, const char *> zones[] = {
      {"JST-9", "JST-9"}, {"EST5", "EST5"}, {"IST-5:30", "IST-5"}, {"NST3:30", "NST3"}, {"UTC0", "UTC0"}};
  for (const auto &[zone, expected] : zones) {
    setenv("TZ", zone, 1);
    getClientTimeZone(TestJob({}).get());
    EXPECT_STREQ(getenv("TZ"), expected) << zone;
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

  const std::pair<const char *, int> versions[] = {{"CUPS/2.2.7", 202}, {"CUPS/2.0", 200}, {"CUPS/2.1", 201},
      {"CUPS/1.7.5", 107}, {"CUPS/2.150", 299}, {"CUPS/3", 300}, {"cups/2.4", 0}};
  for (const auto &[software, number] : versions) {
    setenv("SOFTWARE", software, 1);
    EXPECT_EQ(std::tuple(CUPSVersion(software), getCupsVersion()), std::tuple(number, number > 200 ? 1 : 0)) << software;
  }
  unsetenv("SOFTWARE");
  EXPECT_EQ(getCupsVersion() + CUPSVersion(nullptr), 0);
  const std::tuple<std::string, int, int, int> texts[] = {{"", 0, 128, 1}, {"", 1, 128, 0}, {"", 0, 0, 1},
      {std::string(128, 'a'), 1, 128, 1}, {std::string(129, 'a'), 1, 128, 0}, {"a\tb", 0, 128, 0}, {"a\x7f", 0, 128, 0},
      {"caf\xc3\xa9", 0, 128, 0}, {" ~", 0, 128, 1}};
  for (const auto &[text, min, max, expected] : texts)
    EXPECT_EQ(isValidCustomText(text.c_str(), min, max), expected) << text;
  EXPECT_EQ(isValidCustomText(nullptr, 0, 128), 0);
}

TEST(Buffer, LfsprintfLineEndsAndRegionSearches)
{
  // {line end, capacity, text before, format, text after}; the values are -7 and "abcdefghijklmnop".
  const std::tuple<const char *, size_t, const char *, const char *, const char *> formats[] = {
      {"\n", 64, "", "n=%d s=%s p=100%%", "n=-7 s=abcdefghijklmnop p=100%"},
      {"\n", 64, "", "a%xb%ld%", "a%xb%ld%"},  // not conversions: nothing consumed
      {"\r\n", 64, "", "a\nb", "a\r\nb"}, {"\r", 64, "", "\n\t\r", "\r\t\r"}, {"\n", 64, "one", "", "one"},
      {"\n", 64, "one", "%d", "one-7"}, {"\n", 16, "123456", "%d%s", "123456-7abcdefg"},  // 10 bytes of room
      {"\r\n", 16, "0123456789abcde", "\n%d", "0123456789abcde"}, {"\r\n", 3, "", "a\n", "a\r"}};
  for (const auto &[lf, capacity, before, format, expected] : formats) {
    GuardedBuffer buffer(capacity);
    auto *append = &lfsprintf;  // through a pointer: these are not printf formats
    append(lf, buffer.get(), before);
    append(lf, buffer.get(), format, -7, "abcdefghijklmnop");
    EXPECT_EQ(buffer.text(), expected) << format;
    EXPECT_TRUE(buffer.intact()) << format;
  }
  GuardedBuffer full(8);  // a cursor at the end: nothing written
  full.get()->cursor = full.get()->start + 8;
  lfsprintf("\n", full.get(), "x"), lfsprintf("\n", nullptr, "x");
  full.get()->cursor = full.get()->start;
  EXPECT_TRUE(full.intact());

  // Samples of exact size: nothing past them to lean on.
  const std::tuple<std::string, size_t, std::string> samples[] = {
      {"A\r\nB", 3, "\r\n"}, {"A\r\n", 3, "\n"}, {"A\rBC", 3, "\r"}, {"A\rB", 3, "\n"}, {"\nA\r\nB", 3, "\r\n"},
      {"\r\nX", 3, "\r\n"}, {"AB\nC\r\nD", 3, "\n"}, {"", 3, "\n"}, {"A\r\nB", 2, "\r"}};
  for (const auto &[text, capacity, expected] : samples) {
    const std::vector<char> sample(text.begin(), text.end());
    GuardedBuffer holder(capacity);
    getLinefeedCode(sample.data(), holder.get(), static_cast<int32_t>(sample.size()));
    EXPECT_EQ(holder.text(), expected) << text;
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
