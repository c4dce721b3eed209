// The identity values a queue can supply: their rules, what an invalid or
// wrongly declared value turns into, the reserved time, the time stamp and
// the document-server folder lines.

#include <arvex/jobcontrol.h>
#include <arvex/numbering.h>

#include "JobControlSupport.h"

namespace {

using arvex::test::JobControlTest;
using arvex::test::OutputBuffer;
using arvex::test::TestJob;

class IdentityTest : public JobControlTest {};

TEST_F(IdentityTest, UserIdRule)
{
  EXPECT_EQ(isValidUserID("", 0, 8, 0), 1);
  EXPECT_EQ(isValidUserID("", 1, 8, 0), 0);
  EXPECT_EQ(isValidUserID("Ab3dEf7h", 1, 8, 0), 1);
  EXPECT_EQ(isValidUserID("Ab3dEf7hi", 1, 8, 1), 0);
  EXPECT_EQ(isValidUserID("ab-1", 1, 8, 0), 0);
  EXPECT_EQ(isValidUserID("a-b.c/:_", 1, 8, 1), 1);
  EXPECT_EQ(isValidUserID("ab 1", 1, 8, 1), 0);
  EXPECT_EQ(isValidUserID("ab\xc3\xa9", 1, 8, 1), 0);  // UTF-8 e acute
  EXPECT_EQ(isValidUserID("ab@1", 1, 8, 1), 0);
  EXPECT_EQ(isValidUserID(nullptr, 0, 8, 1), 0);
}

TEST_F(IdentityTest, DigitRulesAndFileNames)
{
  EXPECT_EQ(isValidPassword("123"), 0);
  EXPECT_EQ(isValidPassword("0000"), 1);
  EXPECT_EQ(isValidPassword("12345678"), 1);
  EXPECT_EQ(isValidPassword("123456789"), 0);
  EXPECT_EQ(isValidPassword("12a4"), 0);
  EXPECT_EQ(isValidPassword(""), 0);
  EXPECT_EQ(isValidUserCode(""), 1);
  EXPECT_EQ(isValidUserCode("12345678"), 1);
  EXPECT_EQ(isValidUserCode("123456789"), 0);
  EXPECT_EQ(isValidUserCode("12-4"), 0);
  EXPECT_EQ(isValidFileName(""), 1);
  EXPECT_EQ(isValidFileName("abcdefghijklmnoP"), 1);
  EXPECT_EQ(isValidFileName("abcdefghijklmnopq"), 0);
  EXPECT_EQ(isValidFileName("min_utes"), 0);
  EXPECT_EQ(isValidPassword(nullptr), 0);
  EXPECT_EQ(isValidUserCode(nullptr), 0);
  EXPECT_EQ(isValidFileName(nullptr), 0);
}

// nullptr shown as such, so that "" and "none" stay apart.
std::string shown(const char *text)
{
  return text ? "\"" + std::string(text) + "\"" : "null";
}

TEST_F(IdentityTest, QueueUserId)
{
  struct Case {
    const char *ppd;
    const char *options;
    const char *expected;  // nullptr for none
  };
  const Case cases[] = {
      {"jobcontrol-colour.ppd", "", ""},  // marked "None"
      {"jobcontrol-colour.ppd", "AXUserId=Custom.", ""},
      {"jobcontrol-colour.ppd", "AXJobType=LockedPrint AXUserId=Custom.", ""},
      {"jobcontrol-colour.ppd", "AXUserId=Custom.u042", "u042"},
      {"jobcontrol-colour.ppd", "AXUserId=Custom.ab-1", "ab-1"},          // extended: "true"
      {"jobcontrol-odd.ppd", "AXUserId=Custom.ab-1", ""},                 // extended: "True"
      {"jobcontrol-mono.ppd", "AXUserId=Custom.ab-1", ""},                // no extended set
      {"jobcontrol-colour.ppd", "AXUserId=Custom.'a b'", ""},
      {"jobcontrol-colour.ppd", "AXUserId=Custom.abcdefghi", ""},
      {"jobcontrol-bare.ppd", "", nullptr},                               // no AXUserId at all
  };
  for (const Case &c : cases) {
    TestJob job(c.ppd, c.options);
    EXPECT_EQ(shown(getPPDUserid(job.get())), shown(c.expected)) << c.ppd << " " << c.options;
  }
}

TEST_F(IdentityTest, QueueTextValuesPassTheirRulesOrGiveEmpty)
{
  struct Case {
    const char *options;
    const char *(*reader)(const JobInfo *);
    const char *expected;
  };
  const Case cases[] = {
      {"AXPassword=Custom.123", getPPDPassword, ""},
      {"AXPassword=Custom.0000", getPPDPassword, "0000"},
      {"AXPassword=Custom.12a4", getPPDPassword, ""},
      {"AXFolderPassword=Custom.123456789", getPPDFolderPassword, ""},
      {"AXFolderPassword=Custom.97531", getPPDFolderPassword, "97531"},
      {"AXUserCode=Custom.123456789", getPPDUserCode, ""},
      {"AXUserCode=Custom.", getPPDUserCode, ""},
      {"AXUserCode=Custom.00000001", getPPDUserCode, "00000001"},
      {"AXFileName=Custom.abcdefghijklmnop", getPPDFileName, "abcdefghijklmnop"},
      {"AXFileName=Custom.abcdefghijklmnopq", getPPDFileName, ""},
      {"AXFileName=Custom.min_utes", getPPDFileName, ""},
      {"", getPPDFileName, ""},  // marked "None"
  };
  for (const Case &c : cases) {
    TestJob job("jobcontrol-colour.ppd", c.options);
    EXPECT_EQ(shown(c.reader(job.get())), shown(c.expected)) << c.options;
  }
}

TEST_F(IdentityTest, ParametersOfAnotherTypeCountAsMissing)
{
  // The odd queue declares its user code and login user id as int, its
  // folder number as a string and its hour as real.
  TestJob job("jobcontrol-odd.ppd", "AXUserCode=Custom.1234 AXFolderNumber=Custom.12 AXTimeHour=Custom.7 "
                                    "AXTimeMin=Custom.30 AXPAUserCode=Custom.99");
  EXPECT_EQ(shown(getPPDUserCode(job.get())), shown(""));
  char number[5] = {};
  EXPECT_STREQ(getPPDFolderNumber(job.get(), number), "0");
  char time[17] = {};
  EXPECT_STREQ(getPPDSpecifyTime(job.get(), time), "0030");
  EXPECT_EQ(shown(getPPDPaUserid(job.get())), "null");

  // Its first number is declared real.
  TestJob start("jobcontrol-odd.ppd", "AXStartNumber=Custom.500");
  EXPECT_EQ(getPPDBnStartNumber(start.get(), "AXStartNumber"), 1);
}

TEST_F(IdentityTest, FolderNumberIsCutToThreeCharacters)
{
  const struct {
    const char *options;
    const char *expected;
  } cases[] = {
      {"AXFolderNumber=Custom.12", "12"},
      {"AXFolderNumber=Custom.1234", "123"},
      {"AXFolderNumber=None", "0"},
  };
  for (const auto &c : cases) {
    TestJob job("jobcontrol-colour.ppd", c.options);
    char buffer[5] = {};
    EXPECT_STREQ(getPPDFolderNumber(job.get(), buffer), c.expected) << c.options;
  }
}

TEST_F(IdentityTest, ReservedTimeIsFourDigits)
{
  const struct {
    const char *options;
    const char *expected;
  } cases[] = {
      {"AXTimeHour=Custom.7", "0700"},
      {"AXTimeHour=Custom.9 AXTimeMin=Custom.5", "0905"},
      {"AXTimeHour=Custom.23 AXTimeMin=Custom.59", "2359"},
      {"", "0000"},
  };
  for (const auto &c : cases) {
    TestJob job("jobcontrol-colour.ppd", c.options);
    char buffer[17];
    std::memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(getPPDSpecifyTime(job.get(), buffer), buffer);
    EXPECT_STREQ(buffer, c.expected) << c.options;
  }
}

// YYYYMMDDhhmm of now shifted by offset seconds, read as UTC.
std::string utcStamp(time_t offset)
{
  const time_t shifted = time(nullptr) + offset;
  struct tm utc = {};
  gmtime_r(&shifted, &utc);
  char text[32] = {};
  std::strftime(text, sizeof(text), "%Y%m%d%H%M", &utc);
  return text;
}

TEST_F(IdentityTest, TimeStampIsLocalTimeUnderTheJobsZone)
{
  for (const auto &[zone, offset] : {std::pair{"JST-9", 9 * 3600}, std::pair{"EST5", -5 * 3600}}) {
    setenv("TZ", zone, 1);
    const std::string before = utcStamp(offset);
    char buffer[13];
    std::memset(buffer, 'x', sizeof(buffer));
    const int length = getCurrentTime(buffer);
    const std::string after = utcStamp(offset);
    EXPECT_EQ(length, 12);
    EXPECT_TRUE(buffer == before || buffer == after) << zone << ": " << buffer << " not " << before;
  }
}

TEST_F(IdentityTest, FolderLinesOnlyWhereSupported)
{
  // The option says supported on a queue that doesn't; the folder comes
  // from the queue.
  TestJob job("jobcontrol-mono.ppd", "com.arvex.printsettings.11AFolderNumberSupport=TRUE "
                                     "AXFolderNumber=Custom.1234 AXFolderPassword=Custom.2468");
  OutputBuffer out;
  EXPECT_EQ(getInsertStringForFolderNumber(job.get(), out.get(), "\r\n"), 0);
  EXPECT_EQ(out.text(), "\t\t/FolderNumber 123\r\n\t\t/FolderPassword (2468)\r\n");
  EXPECT_EQ(err_no, ARVEX_ERR_NOOPTION);

  TestJob unsupported("jobcontrol-mono.ppd", "AXFolderNumber=Custom.12");
  OutputBuffer none;
  EXPECT_EQ(getInsertStringForFolderNumber(unsupported.get(), none.get(), "\n"), 0);
  EXPECT_EQ(none.text(), "");
  EXPECT_EQ(getInsertStringForFolderNumber(unsupported.get(), none.get(), nullptr), 1);
  EXPECT_EQ(isFolderNumberSupport(nullptr), 0);

  // Options are sent as they are.
  TestJob options("jobcontrol-colour.ppd", "com.arvex.printsettings.11AFolderNumber=0042 "
                                           "com.arvex.printsettings.11AFolderPassword=x");
  OutputBuffer sent;
  EXPECT_EQ(getInsertStringForFolderNumber(options.get(), sent.get(), "\n"), 0);
  EXPECT_EQ(sent.text(), "\t\t/FolderNumber 0042\n\t\t/FolderPassword (x)\n");
}

}  // namespace
