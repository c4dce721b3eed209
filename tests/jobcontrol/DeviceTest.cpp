// Device settings: synchro cut, colour balance with its rounding, and the
// PPD's ready commands for the output bin and the banner page.

#include <arvex/jobcontrol.h>

#include "../../src/jobcontrol/ppd_commands.h"
#include "JobControlSupport.h"

namespace {

using arvex::test::JobControlTest;
using arvex::test::lines;
using arvex::test::OutputBuffer;
using arvex::test::TestJob;

using Writer = int (*)(const JobInfo *, InsertBuffer *, const char *);

std::string write(Writer writer, const TestJob &job, int expectedResult = 0)
{
  OutputBuffer out;
  EXPECT_EQ(writer(job.get(), out.get(), "\n"), expectedResult);
  EXPECT_TRUE(out.consistent());
  return out.text();
}

std::string synchroCut(int top, int bottom, int left, int right, int cornerLock, int leading)
{
  return lines({"mark {", " <<", " /Enable true", " /Margin <<", "     /Top " + std::to_string(top),
                "     /Bottom " + std::to_string(bottom), "     /Left " + std::to_string(left),
                "     /Right " + std::to_string(right), " >>", " /CornerLock " + std::to_string(cornerLock),
                " /Leading " + std::to_string(leading), " >>",
                " /ADeviceProcSet /ProcSet findresource/SetSynchroCut get exec", "} stopped cleartomark"});
}

std::string colourBalance(const char *brightness, const char *contrast, const char *cyan, const char *magenta,
                          const char *yellow, const char *black)
{
  const auto s = [](const char *t) { return std::string(t); };
  return lines({"mark {", "\t<<", "\t\t/Brightness " + s(brightness), "\t\t/Contrast " + s(contrast),
                "\t\t/Gamma <<", "\t\t\t/Cyan " + s(cyan), "\t\t\t/Magenta " + s(magenta),
                "\t\t\t/Yellow " + s(yellow), "\t\t\t/Black " + s(black), "\t\t>>", "\t>>",
                "\t/ADeviceProcSet /ProcSet findresource /SetColorBalance get exec", "} stopped cleartomark"});
}

class DeviceTest : public JobControlTest {};

TEST_F(DeviceTest, SynchroCutOnlyWhenOn)
{
  const struct {
    const char *options;
    std::string expected;
  } cases[] = {
      {"com.arvex.printsettings.SynchroCut.Valid=on", ""},
      {"com.arvex.printsettings.SynchroCut.Valid=Off AXSynchroCut=True", ""},
      {"", ""},
      {"com.arvex.printsettings.SynchroCut.Valid=On", synchroCut(0, 0, 0, 0, 0, 0)},
      {"com.arvex.printsettings.SynchroCut.Valid=On com.arvex.printsettings.SynchroCut.Position=Right "
       "com.arvex.printsettings.SynchroCut.ImageDirection=ShortEdgeFeed",
       synchroCut(0, 0, 0, 0, 2, 1)},
      {"com.arvex.printsettings.SynchroCut.Valid=On com.arvex.printsettings.SynchroCut.Position=center "
       "com.arvex.printsettings.SynchroCut.ImageDirection=Portrait AXPrintPosition=Right "
       "AXImageDirectionPriority=Portrait",
       synchroCut(0, 0, 0, 0, 0, 0)},
      {"com.arvex.printsettings.SynchroCut.Valid=On com.arvex.printsettings.SynchroCut.MarginTop=12mm "
       "com.arvex.printsettings.SynchroCut.MarginBottom=mm com.arvex.printsettings.SynchroCut.MarginLeft=' -7' "
       "AXRightMargin=Custom.33",
       synchroCut(12, 0, -7, 33, 0, 0)},
      {"AXSynchroCut=True AXPrintPosition=Center AXImageDirectionPriority=Portrait AXTopMargin=Custom.4 "
       "AXBottomMargin=Custom.3 AXLeftMargin=Custom.2",
       synchroCut(4, 3, 2, 0, 1, 1)},
  };
  for (const auto &c : cases) {
    TestJob job("jobcontrol-colour.ppd", c.options);
    EXPECT_EQ(write(getInsertStringForSynchroCut, job), c.expected) << c.options;
    EXPECT_EQ(err_no, 0) << "synchro cut latches nothing";
  }
}

TEST_F(DeviceTest, MarginSidesOutsideTheTableAreZero)
{
  TestJob job("jobcontrol-colour.ppd", "AXTopMargin=Custom.4 AXRightMargin=Custom.9");
  EXPECT_EQ(ScGetSynchroCutMarginValue(job.get(), 1), 4);
  EXPECT_EQ(ScGetSynchroCutMarginValue(job.get(), 4), 9);
  EXPECT_EQ(ScGetSynchroCutMarginValue(job.get(), 0), 0);
  EXPECT_EQ(ScGetSynchroCutMarginValue(job.get(), 5), 0);
  // Margins declared in points are not ints.
  TestJob odd("jobcontrol-odd.ppd", "AXTopMargin=Custom.4");
  EXPECT_EQ(ScGetSynchroCutMarginValue(odd.get(), 1), 0);
}

TEST_F(DeviceTest, ColourBalanceOnColourAndMonochromeDevices)
{
  const char *options = "com.arvex.printsettings.14AColorBalanceBrightness=+1 "
                        "com.arvex.printsettings.14AColorBalanceCyan=3 "
                        "com.arvex.printsettings.14AColorBalanceMagenta=-2 "
                        "AXContrast=Custom.2.5 AXBlack=Custom.-0.4 AXYellow=Custom.-2.5";
  TestJob colour("jobcontrol-colour.ppd", options);
  EXPECT_EQ(write(getInsertStringForColorBalance, colour), colourBalance("+1", "3", "3", "-2", "-3", "0"));
  EXPECT_EQ(err_no, ARVEX_ERR_NOOPTION) << "absent colour-balance options are latched";

  TestJob mono("jobcontrol-mono.ppd", options);
  EXPECT_EQ(write(getInsertStringForColorBalance, mono), colourBalance("+1", "3", "0", "0", "0", "0"));
}

TEST_F(DeviceTest, QueueValuesRoundHalfAwayFromZero)
{
  const struct {
    const char *value;
    const char *expected;
  } cases[] = {
      {"Custom.2.5", "3"},  {"Custom.-2.5", "-3"}, {"Custom.2.44", "2"}, {"Custom.-0.4", "0"},
      {"Custom.0", "0"},    {"Custom.9.96", "10"}, {"Custom.-100", "-10"}, {"Custom.99999999999", "100"},
      {"Normal", "0"},
  };
  for (const auto &c : cases) {
    TestJob job("jobcontrol-colour.ppd", std::string("AXBrightness=") + c.value);
    char buffer[5];
    std::memset(buffer, 'x', sizeof(buffer));
    EXPECT_STREQ(getPPDOptionInt(job.get(), "AXBrightness", buffer), c.expected) << c.value;
  }
  // Declared as a string: not a number.
  TestJob odd("jobcontrol-odd.ppd", "AXBrightness=Custom.2");
  char buffer[5] = {};
  EXPECT_STREQ(getPPDOptionInt(odd.get(), "AXBrightness", buffer), "0");
}

TEST_F(DeviceTest, OutputBinCommandFromTheChosenBin)
{
  const struct {
    const char *ppd;
    const char *options;
    int result;
    const char *expected;
  } cases[] = {
      {"jobcontrol-colour.ppd", "", 0, "<</OutputType (Default)>> setpagedevice\n"},
      {"jobcontrol-colour.ppd", "OutputBin=Upper", 0, "<</OutputType (Upper Tray)>> setpagedevice\n"},
      {"jobcontrol-colour.ppd", "OutputBin=Lower", 1, ""},
      {"jobcontrol-mono.ppd", "", 1, ""},
      {"", "", 1, ""},
  };
  for (const auto &c : cases) {
    TestJob job(c.ppd, c.options);
    EXPECT_EQ(write(getInsertStringForOutputBin, job, c.result), c.expected) << c.ppd << " " << c.options;
  }
}

TEST_F(DeviceTest, BannerPageStopsAtTheFirstMissingCommand)
{
  const struct {
    const char *ppd;
    const char *options;
    int result;
    std::string expected;
  } cases[] = {
      {"jobcontrol-colour.ppd", "", 0,
       lines({"<</BannerSlot 0>> setpagedevice", "<</BannerMedia (Auto)>> setpagedevice",
              "<</BannerPage false>> setpagedevice"})},
      {"jobcontrol-colour.ppd", "AXBannerPageInputSlot=Tray1 AXBannerPagePrint=True", 0,
       lines({"<</BannerSlot 1>> setpagedevice", "<</BannerMedia (Auto)>> setpagedevice",
              "<</BannerPage true>> setpagedevice"})},
      {"jobcontrol-colour.ppd", "AXBannerPageMediaType=Plain", 1, lines({"<</BannerSlot 0>> setpagedevice"})},
      // Media type and print commands exist, the slot command doesn't.
      {"jobcontrol-mono.ppd", "", 1, ""},
  };
  for (const auto &c : cases) {
    TestJob job(c.ppd, c.options);
    EXPECT_EQ(write(getInsertStringForBannerPage, job, c.result), c.expected) << c.ppd << " " << c.options;
  }
}

TEST_F(DeviceTest, CommandNameIsCutTo255Bytes)
{
  const std::string longChoice(300, 'c');
  char name[arvex::kPPDCommandNameSize];
  arvex::buildPPDCommandName(name, "AXCMD", "OutputBin", longChoice.c_str());
  EXPECT_EQ(std::string(name), ("AXCMDOutputBin" + longChoice).substr(0, 255));
  arvex::buildPPDCommandName(name, "AXCMD", "OutputBin", "Upper");
  EXPECT_STREQ(name, "AXCMDOutputBinUpper");

  TestJob job("jobcontrol-colour.ppd", "OutputBin=" + longChoice);
  EXPECT_EQ(write(getInsertStringForOutputBin, job, 1), "");
  OutputBuffer out;
  EXPECT_EQ(insertStringFromPPDCommand(job.get(), out.get(), "\n", "AXCMD", nullptr, "Default"), 1);
}

TEST_F(DeviceTest, ValueFromPPD)
{
  TestJob job("jobcontrol-colour.ppd");
  EXPECT_STREQ(getValueFromPPD(job.get()->ppd, "AXCMDOutputBinDefault"), "<</OutputType (Default)>> setpagedevice");
  EXPECT_EQ(getValueFromPPD(job.get()->ppd, "AXCMDOutputBinLower"), nullptr);
  EXPECT_EQ(getValueFromPPD(job.get()->ppd, nullptr), nullptr);
  EXPECT_EQ(getValueFromPPD(nullptr, "Product"), nullptr);
}

}  // namespace
