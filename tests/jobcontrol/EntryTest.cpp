// The entries: the whole job-control block in its order, its line ends,
// its failures and bounds, and the two comments.

#include <arvex/jobcontrol.h>

#include "JobControlSupport.h"

namespace {

using arvex::test::expectStamped;
using arvex::test::hostInformation;
using arvex::test::procedureDefinitions;
using arvex::test::JobControlTest;
using arvex::test::kHostName;
using arvex::test::lines;
using arvex::test::OutputBuffer;
using arvex::test::TestJob;

using Entry = int (*)(const JobInfo *, InsertBuffer *, const char *, int);

// Normal print of user alice with empty user id and user code.
std::string anonymousNormalPrint(const std::string &time, std::string_view lf)
{
  return lines({"mark",
                " () () (" + time + ") {setuserinfo} stopped",
                "cleartomark",
                "mark {",
                "<<",
                "\t/JobType 0",
                "\t/JobInfo <<\t/UserID ()",
                "\t\t/UserCode ()",
                "\t\t/Time (" + time + ")",
                "\t\tisGenuine not isEnhancedFeatures or {",
                "\t\t/HostLoginName (alice)",
                "\t\t/HostName (" + std::string(kHostName) + ")",
                "\t\t}if",
                "\t>>",
                ">> /ADeviceProcSet /ProcSet findresource /SetJobType get exec",
                "} stopped cleartomark"},
               lf);
}

std::string driverMode(int mode, std::string_view lf = "\n")
{
  return lines({"mark {",
                "\tuserdict /5d2e4a7c19 known { userdict /5d2e4a7c19 get /+DrvMode " + std::to_string(mode) +
                    " put } if ",
                "} stopped cleartomark"},
               lf);
}

// The block of a job without options on a PPD that has none of the
// job-control keywords.
std::string bareBlock(const std::string &time, std::string_view lf)
{
  return hostInformation(lf) + procedureDefinitions(lf) + anonymousNormalPrint(time, lf) + std::string(lf);
}

std::string build(Entry entry, const TestJob &job, std::string_view sample, int expectedResult = 0,
                  size_t capacity = 64 * 1024)
{
  OutputBuffer out(capacity);
  EXPECT_EQ(entry(job.get(), out.get(), sample.data(), static_cast<int>(sample.size())), expectedResult);
  EXPECT_TRUE(out.consistent());
  return out.text();
}

class EntryTest : public JobControlTest {};

TEST_F(EntryTest, BareJobGetsHostInformationDefinitionsNormalPrintAndOneLineEnd)
{
  TestJob job("jobcontrol-bare.ppd");
  expectStamped([&] { return build(getInsertString, job, "%PDF-1.7\nx"); },
                [](const std::string &t) { return bareBlock(t, "\n"); });
  EXPECT_EQ(err_no, ARVEX_ERR_NOOPTION) << "the absent user-id option stays latched after success";
}

TEST_F(EntryTest, EveryLineEndFollowsTheSample)
{
  TestJob job("jobcontrol-bare.ppd");
  expectStamped([&] { return build(getInsertString, job, "%PDF-1.7\r\n%x"); },
                [](const std::string &t) { return bareBlock(t, "\r\n"); });
  expectStamped([&] { return build(getInsertString, job, "%PDF-1.7\r%x"); },
                [](const std::string &t) { return bareBlock(t, "\r"); });
  // No sample at all: LF.
  expectStamped([&] { return build(getInsertString, job, ""); },
                [](const std::string &t) { return bareBlock(t, "\n"); });
}

TEST_F(EntryTest, EveryFragmentInItsPlace)
{
  TestJob job("jobcontrol-colour.ppd",
              "com.arvex.printsettings.11AJobType='Locked Print' com.arvex.printsettings.11AUserID=u7 "
              "com.arvex.printsettings.11APassword=1234 com.arvex.printsettings.SynchroCut.Valid=On "
              "AXTopMargin=Custom.5 com.arvex.printsettings.BackgroundNumbering.Valid=On "
              "com.arvex.printsettings.14AColorBalanceBrightness=2 AXCyan=Custom.-1.5");
  const std::string expectedTail =
      lines({"<</OutputType (Default)>> setpagedevice", "<</BannerSlot 0>> setpagedevice",
             "<</BannerMedia (Auto)>> setpagedevice", "<</BannerPage false>> setpagedevice", "mark {", "\t<<",
             "\t\t/Brightness 2", "\t\t/Contrast 0", "\t\t/Gamma <<", "\t\t\t/Cyan -2", "\t\t\t/Magenta 0",
             "\t\t\t/Yellow 0", "\t\t\t/Black 0", "\t\t>>", "\t>>",
             "\t/ADeviceProcSet /ProcSet findresource /SetColorBalance get exec", "} stopped cleartomark", ""}) +
      driverMode(0);
  expectStamped([&] { return build(getInsertString, job, ""); },
                [&](const std::string &t) {
                  return hostInformation("\n") + procedureDefinitions("\n") +
                         lines({"mark {", " <<", " /Enable true", " /Margin <<", "     /Top 5", "     /Bottom 0",
                                "     /Left 0", "     /Right 0", " >>", " /CornerLock 0", " /Leading 0", " >>",
                                " /ADeviceProcSet /ProcSet findresource/SetSynchroCut get exec",
                                "} stopped cleartomark"}) +
                         lines({"mark {", " <<", " /Enable true", " /FontSize 1", " /Density 1", " /Color 0",
                                " /InitialNumber 1", " >>",
                                " /ADeviceProcSet /ProcSet findresource/SetSecurityNumbering get exec",
                                "} stopped cleartomark"}) +
                         lines({"mark", "  (u7) () (" + t + ") {setuserinfo} stopped", "cleartomark", "mark {",
                                "<<", "\t/JobType 1", "\t/JobInfo <<\t/UserID (u7)", "\t\t/Time (" + t + ")",
                                "\t\t/Password (1234)", "\t\tisGenuine not isEnhancedFeatures or {",
                                "\t\t/HostLoginName (alice)", "\t\t/HostName (" + std::string(kHostName) + ")",
                                "\t\t}if", "\t>>", ">> /ADeviceProcSet /ProcSet findresource /SetJobType get exec",
                                "} stopped cleartomark"}) +
                         expectedTail;
                });
}

TEST_F(EntryTest, CopyControlFragmentReplacesTheLineEndUnchangedInCrLf)
{
  // Percent signs in the font name must reach the output as they stand:
  // the fragment is copied, not formatted a second time.
  TestJob job("jobcontrol-bare.ppd",
              "com.arvex.printsettings.CCPCopyControlType='Prevention Copy Pattern' "
              "com.arvex.printsettings.CCPFont='A%%B%d' com.arvex.printsettings.CCPCustomText=101102");
  const std::string fragment = lines({"",
                                      "mark {",
                                      "<< /MarkingType 2",
                                      "/MarkingColor 0",
                                      "/MarkingDensity 3",
                                      "/MaskPattern 0",
                                      "/StringEffect 0",
                                      "/StringAttributes <<",
                                      "/FontName (A%%B%d)",
                                      "/FontSize 70",
                                      "/String (\\101\\102)",
                                      "/StringPosition 3",
                                      "/StringAngle 30",
                                      "/StringLoopAttributes null",
                                      ">>",
                                      ">>",
                                      "/ADeviceProcSet /ProcSet findresource /SetMarkingType get exec",
                                      "} stopped cleartomark",
                                      ""},
                                     "\r\n");
  expectStamped([&] { return build(getInsertString, job, "%PDF-1.7\r\n%x"); },
                [&](const std::string &t) {
                  return hostInformation("\r\n") + procedureDefinitions("\r\n") + anonymousNormalPrint(t, "\r\n") +
                         fragment;
                });
}

TEST_F(EntryTest, CopyGuardWithoutAnyFontFailsAndAppendsNoFragment)
{
  TestJob job("jobcontrol-bare.ppd", "com.arvex.printsettings.CCPCopyControlType='Copy Guard'");
  expectStamped([&] { return build(getInsertString, job, "", 1); },
                [](const std::string &t) {
                  return hostInformation("\n") + procedureDefinitions("\n") + anonymousNormalPrint(t, "\n");
                });
  EXPECT_EQ(err_no, ARVEX_ERR_NOOPTION) << "the absent user-id option was latched first";
}

TEST_F(EntryTest, ColourBalanceOnlyWhenTheDeviceSaysExactlyTrue)
{
  TestJob odd("jobcontrol-odd.ppd");  // BalanceAdjustmentSupport: True
  const std::string oddBlock = build(getInsertString, odd, "");
  EXPECT_EQ(oddBlock.find("/SetColorBalance"), std::string::npos);
  TestJob mono("jobcontrol-mono.ppd");  // BalanceAdjustmentSupport: true
  EXPECT_NE(build(getInsertString, mono, "").find("/SetColorBalance"), std::string::npos);
}

TEST_F(EntryTest, DriverModeFromTheDefaultChoiceOfAXPostScript)
{
  const struct {
    const char *ppd;
    std::string expected;
  } cases[] = {
      {"jobcontrol-colour.ppd", driverMode(0, "\r\n")},
      // A job option does not change the default choice.
      {"jobcontrol-mono.ppd", driverMode(1, "\r\n")},
      {"jobcontrol-odd.ppd", ""},
      {"", ""},
  };
  for (const auto &c : cases) {
    TestJob job(c.ppd, "AXPostScript=Adobe");
    OutputBuffer out;
    EXPECT_EQ(getInsertStringForDrvMode(job.get(), out.get(), "\r\n"), 0);
    EXPECT_EQ(out.text(), c.expected) << c.ppd;
  }
}

TEST_F(EntryTest, FailingJobTypeKeepsWhatCameBeforeAndStops)
{
  TestJob job("jobcontrol-bare.ppd", "com.arvex.printsettings.11AJobType='Locked Print'");
  EXPECT_EQ(build(getInsertString, job, "", 1), hostInformation("\n") + procedureDefinitions("\n"));
  EXPECT_EQ(err_no, ARVEX_ERR_NOOPTION);

  // With the latch already holding a code, that code stays.
  err_no = ARVEX_ERR_WRITE;
  build(getInsertString, job, "", 1);
  EXPECT_EQ(err_no, ARVEX_ERR_WRITE);
}

TEST_F(EntryTest, MissingRecordOrOutputLatchesOneAndWritesNothing)
{
  TestJob job("jobcontrol-colour.ppd");
  for (Entry entry : {getInsertString, getInsertComment, getInsertCommentOfTargetDevice}) {
    OutputBuffer out;
    err_no = 0;
    EXPECT_EQ(entry(nullptr, out.get(), "", 0), 1);
    EXPECT_EQ(out.text(), "");
    EXPECT_EQ(err_no, ARVEX_ERR_WRITER);
    err_no = 0;
    EXPECT_EQ(entry(job.get(), nullptr, "", 0), 1);
    EXPECT_EQ(err_no, ARVEX_ERR_WRITER);
  }
}

TEST_F(EntryTest, FullOutputIsCutNeverOverrun)
{
  TestJob job("jobcontrol-bare.ppd");
  const size_t full = bareBlock(arvex::test::stampNow(), "\r\n").size();
  for (size_t capacity : {size_t{1}, size_t{2}, size_t{100}, full - 1, full, full + 1}) {
    expectStamped([&] { return build(getInsertString, job, "a\r\nb", 0, capacity); },
                  [&](const std::string &t) { return bareBlock(t, "\r\n").substr(0, capacity - 1); });
  }
}

TEST_F(EntryTest, LoginCommentWhenPersonalAuthenticationIsOn)
{
  struct Case {
    const char *options;
    int result;
    const char *expected;
  };
  const Case cases[] = {
      {"", 0, ""},
      {"com.arvex.printsettings.PersonalAuthentication.Valid=TRUE "
       "com.arvex.printsettings.PersonalAuthentication.UserID=bob%1",
       0, "%%LOGINGID: bob%1\r\n"},
      {"AXPersonalAuthentication=True AXPAUserCode=Custom.abcdefghij123", 0, "%%LOGINGID: abcdefghij123\r\n"},
      // 14 characters, and a character outside letters and digits.
      {"AXPersonalAuthentication=True AXPAUserCode=Custom.abcdefghij1234", 0, "%%LOGINGID: \r\n"},
      {"AXPersonalAuthentication=True AXPAUserCode=Custom.ab-1", 0, "%%LOGINGID: \r\n"},
      {"AXPersonalAuthentication=True AXPAUserCode=None", 0, "%%LOGINGID: \r\n"},
      // The option switches it off even when the queue has it on.
      {"com.arvex.printsettings.PersonalAuthentication.Valid=on AXPersonalAuthentication=True", 0, ""},
  };
  for (const Case &c : cases) {
    TestJob job("jobcontrol-colour.ppd", c.options);
    EXPECT_EQ(build(getInsertComment, job, "x\r\ny", c.result), c.expected) << c.options;
  }
}

TEST_F(EntryTest, LoginCommentFailsWithoutAnyUserId)
{
  // On, but the PPD has no AXPAUserCode and the job no user-id option.
  TestJob job("jobcontrol-bare.ppd", "com.arvex.printsettings.PersonalAuthentication.Valid=true");
  EXPECT_EQ(build(getInsertComment, job, "", 1), "");
  EXPECT_EQ(err_no, ARVEX_ERR_NOOPTION);
}

TEST_F(EntryTest, TargetDeviceCommentNeedsProductAndPSVersion)
{
  TestJob colour("jobcontrol-colour.ppd");
  EXPECT_EQ(build(getInsertCommentOfTargetDevice, colour, "a\rbc"), "%%TargetDevice: (Arvex JC Colour) (3010.106) 5\r");
  EXPECT_EQ(err_no, 0);

  TestJob bare("jobcontrol-bare.ppd");  // has Product, lacks PSVersion
  EXPECT_EQ(build(getInsertCommentOfTargetDevice, bare, "", 1), "");
  EXPECT_EQ(err_no, ARVEX_ERR_WRITER);

  TestJob none("");
  err_no = 0;
  EXPECT_EQ(build(getInsertCommentOfTargetDevice, none, "", 1), "");
  EXPECT_EQ(err_no, ARVEX_ERR_WRITER);
}

}  // namespace
