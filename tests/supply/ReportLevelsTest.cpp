// Deciding whether and how the reporting thread runs: the PPD marking, the
// cycle time, the device and colour types and the marker texts. None of
// these cases starts a thread.

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cstdlib>
#include <string>

#include "reporting.h"
#include "SupplyPpd.h"

namespace {

using arvex::test::PpdEdit;
using arvex::test::ppdVariant;
using arvex::test::TempFile;

// A PPD variant opened with libcups, closed at the end of the test.
class OpenPpd {
public:
  explicit OpenPpd(const std::string &fixture, const std::vector<PpdEdit> &edits = {})
      : file_(ppdVariant(fixture, edits))
  {
    ppd_ = ppdOpenFile(file_.path().c_str());
  }
  ~OpenPpd() { ppdClose(ppd_); }
  OpenPpd(const OpenPpd &) = delete;
  OpenPpd &operator=(const OpenPpd &) = delete;
  ppd_file_t *get() const { return ppd_; }

private:
  TempFile file_;
  ppd_file_t *ppd_ = nullptr;
};

// DEVICE_URI for the length of a test; empty means unset.
class DeviceUri {
public:
  explicit DeviceUri(const std::string &uri)
  {
    if (uri.empty())
      unsetenv("DEVICE_URI");
    else
      setenv("DEVICE_URI", uri.c_str(), 1);
  }
  ~DeviceUri() { unsetenv("DEVICE_URI"); }
};

// The filter's arguments; argv[0] is no URI.
char *filterArgv[] = {const_cast<char *>("arvex-pdf-filter"), const_cast<char *>("1"),
                      const_cast<char *>("alice"), const_cast<char *>("report"),
                      const_cast<char *>("1"), const_cast<char *>(""), nullptr};

// The job options parsed the way the job record parses them.
class Options {
public:
  explicit Options(const char *text) { count_ = cupsParseOptions(text, 0, &options_); }
  ~Options() { cupsFreeOptions(count_, options_); }
  Options(const Options &) = delete;
  Options &operator=(const Options &) = delete;
  int count() const { return count_; }
  cups_option_t *get() const { return options_; }

private:
  int count_ = 0;
  cups_option_t *options_ = nullptr;
};

std::string markedChoice(ppd_file_t *ppd, const char *keyword)
{
  const ppd_choice_t *choice = ppdFindMarkedChoice(ppd, keyword);
  return choice ? choice->choice : "(none)";
}

const PpdEdit kSocketCycle = {"*AXSupplyLevelCycleTime socket:", ""};

TEST(CycleTime, ValueOfTheAttributeForTheUriScheme)
{
  DeviceUri uri("socket://printer.example.com:9100");
  const struct {
    std::string line;
    int seconds;
  } cases[] = {
      {"*AXSupplyLevelCycleTime socket: \"0\"", 0},
      {"*AXSupplyLevelCycleTime socket: \"15\"", 15},
      {"*AXSupplyLevelCycleTime socket: \"10s\"", 3},
      {"*AXSupplyLevelCycleTime socket: \" 10\"", 3},
      {"*AXSupplyLevelCycleTime socket: \"-5\"", 3},
      {"*AXSupplyLevelCycleTime socket: \"\"", 3},
      {"*AXSupplyLevelCycleTime socket: \"+7\"", 3},
      // Beyond the int range: as long as an int allows, never negative.
      {"*AXSupplyLevelCycleTime socket: \"99999999999\"", INT_MAX},
  };
  for (const auto &c : cases) {
    OpenPpd ppd("supply-color.ppd", {{kSocketCycle.first, c.line}});
    ASSERT_NE(ppd.get(), nullptr) << c.line;
    EXPECT_EQ(GetThreadCycleTime(ppd.get(), filterArgv), c.seconds) << c.line;
  }
}

TEST(CycleTime, DefaultWithoutAValueForTheScheme)
{
  // Only the usb scheme has a value in this PPD.
  OpenPpd ppd("supply-color.ppd", {{kSocketCycle.first, ""},
                                   {"*AXSupplyLevelCycleTime usb:", "*AXSupplyLevelCycleTime usb: \"20\""}});
  {
    DeviceUri uri("socket://printer.example.com:9100");
    EXPECT_EQ(GetThreadCycleTime(ppd.get(), filterArgv), 3);
  }
  {
    DeviceUri uri("usb://Arvex/Office%20C4500?serial=A1");
    EXPECT_EQ(GetThreadCycleTime(ppd.get(), filterArgv), 20);
  }
  {
    DeviceUri uri("");
    EXPECT_EQ(GetThreadCycleTime(ppd.get(), filterArgv), 3);
  }
  EXPECT_EQ(GetThreadCycleTime(nullptr, filterArgv), 3);
}

TEST(DeviceType, UsbPrefixInAnyCaseElseNetwork)
{
  const struct {
    std::string uri;
    int type;
  } cases[] = {
      {"usb://Arvex/Office%20C4500?serial=A1", REPORT_DEVICE_USB},
      {"USB://Arvex/Office%20C4500", REPORT_DEVICE_USB},
      {"socket://10.0.0.5:9100", REPORT_DEVICE_NETWORK},
      {"usb:/Arvex", REPORT_DEVICE_NETWORK},
      {"ipp://printer/ipp/print", REPORT_DEVICE_NETWORK},
      {"", REPORT_DEVICE_NONE},
  };
  for (const auto &c : cases) {
    DeviceUri uri(c.uri);
    EXPECT_EQ(GetDeviceType(filterArgv), c.type) << c.uri;
  }
  EXPECT_EQ(GetDeviceType(nullptr), REPORT_DEVICE_NONE);
}

TEST(ColorType, ColorDeviceAttribute)
{
  const PpdEdit colorDevice = {"*ColorDevice:", ""};
  EXPECT_EQ(GetColorType(OpenPpd("supply-color.ppd").get()), REPORT_COLOR_CMYK);
  EXPECT_EQ(GetColorType(OpenPpd("supply-color.ppd", {{colorDevice.first, "*ColorDevice: true"}}).get()),
            REPORT_COLOR_CMYK);
  EXPECT_EQ(GetColorType(OpenPpd("supply-color.ppd", {{colorDevice.first, "*ColorDevice: False"}}).get()),
            REPORT_COLOR_MONO);
  EXPECT_EQ(GetColorType(OpenPpd("supply-color.ppd", {colorDevice}).get()), REPORT_COLOR_UNKNOWN);
  EXPECT_EQ(GetColorType(nullptr), REPORT_COLOR_UNKNOWN);
}

TEST(SupplyInfoFromPpd, ColourPpdNamesFourMarkers)
{
  OpenPpd ppd("supply-color.ppd");
  SupplyInfo info = {};
  ASSERT_EQ(GetSupplyInfoFromPPD(ppd.get(), REPORT_COLOR_CMYK, &info), 1);
  const char *colors[] = {"#00FFFF", "#FF00FF", "#FFFF00", "#000000"};
  const char *names[] = {"Cyan Toner", "Magenta Toner", "Yellow Toner", "Black Toner"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_STREQ(info.markerColors[i], colors[i]);
    EXPECT_STREQ(info.markerNames[i], names[i]);
    EXPECT_STREQ(info.markerTypes[i], "toner");
    EXPECT_EQ(info.markerLevels[i], 0);
  }
}

TEST(SupplyInfoFromPpd, MonochromeUsesOnlyTheFirstMarker)
{
  OpenPpd ppd("supply-mono.ppd");
  SupplyInfo info = {};
  ASSERT_EQ(GetSupplyInfoFromPPD(ppd.get(), REPORT_COLOR_MONO, &info), 1);
  EXPECT_STREQ(info.markerColors[0], "#000000");
  EXPECT_STREQ(info.markerNames[0], "Black Toner");
  EXPECT_STREQ(info.markerTypes[0], "toner");
  for (int i = 1; i < 4; ++i) {
    EXPECT_EQ(info.markerColors[i], nullptr);
    EXPECT_EQ(info.markerTypes[i], nullptr);
  }
  // The monochrome PPD lacks markers 1 to 3: as a colour PPD it is refused.
  SupplyInfo asColor = {};
  EXPECT_EQ(GetSupplyInfoFromPPD(ppd.get(), REPORT_COLOR_CMYK, &asColor), 0);
}

TEST(SupplyInfoFromPpd, MissingMarkerAttributesRefuseThePpd)
{
  SupplyInfo info = {};
  EXPECT_EQ(GetSupplyInfoFromPPD(OpenPpd("supply-color.ppd", {{"*cupsMarkerName 2/", ""}}).get(),
                                 REPORT_COLOR_CMYK, &info),
            0);
  EXPECT_EQ(GetSupplyInfoFromPPD(OpenPpd("supply-color.ppd", {{"*AXMarkerTypes:", ""}}).get(),
                                 REPORT_COLOR_CMYK, &info),
            0);
  EXPECT_EQ(GetSupplyInfoFromPPD(OpenPpd("supply-color.ppd").get(), REPORT_COLOR_UNKNOWN, &info), 0);
  EXPECT_EQ(GetSupplyInfoFromPPD(nullptr, REPORT_COLOR_CMYK, &info), 0);
}

TEST(PpdMarking, NoOptionsMarkNothing)
{
  DeviceUri uri("socket://printer.example.com:9100");
  OpenPpd ppd("supply-color.ppd");
  EXPECT_EQ(StartReportLevels(0, nullptr, filterArgv, ppd.get()), nullptr);
  EXPECT_EQ(markedChoice(ppd.get(), "Duplex"), "(none)");
  EXPECT_EQ(markedChoice(ppd.get(), "PageSize"), "(none)");
}

TEST(PpdMarking, DefaultsThenJobOptionsEvenWithoutAThread)
{
  const struct {
    std::string uri;
    std::vector<PpdEdit> edits;
  } noThread[] = {
      {"", {}},                                            // no device URI
      {"socket://printer.example.com:9100", {{"*ColorDevice:", ""}}},  // colour type unknown
      {"socket://printer.example.com:9100", {{"*cupsMarkerName 3/", ""}}},
      {"socket://printer.example.com:9100", {{kSocketCycle.first, "*AXSupplyLevelCycleTime socket: \"0\""}}},
  };
  for (const auto &c : noThread) {
    DeviceUri uri(c.uri);
    OpenPpd ppd("supply-color.ppd", c.edits);
    Options options("PageSize=Letter");
    EXPECT_EQ(StartReportLevels(options.count(), options.get(), filterArgv, ppd.get()), nullptr) << c.uri;
    EXPECT_EQ(markedChoice(ppd.get(), "PageSize"), "Letter");
    EXPECT_EQ(markedChoice(ppd.get(), "Duplex"), "DuplexNoTumble");
  }
  Options options("PageSize=Letter");
  EXPECT_EQ(StartReportLevels(options.count(), options.get(), filterArgv, nullptr), nullptr);
  EXPECT_EQ(StartReportLevels(options.count(), options.get(), nullptr, OpenPpd("supply-color.ppd").get()), nullptr);
}

TEST(PpdMarking, SnmpSuppliesAttributeDecidesPrinterStates)
{
  DeviceUri uri("");  // no thread
  Options options("PageSize=A4");
  const PpdEdit supplies = {"*cupsSNMPSupplies:", ""};
  const struct {
    std::string line;
    unsigned char before;
    unsigned char after;
  } cases[] = {
      {"*cupsSNMPSupplies: False", 0, 1},
      {"*cupsSNMPSupplies: No", 0, 1},
      {"*cupsSNMPSupplies: True", 1, 0},
      {"*cupsSNMPSupplies: true", 1, 0},
      {"", 1, 1},  // without the attribute the flag stays as it was
      {"", 0, 0},
  };
  for (const auto &c : cases) {
    current_cupsSNMPSupplies = c.before;
    OpenPpd ppd("supply-color.ppd", {{supplies.first, c.line}});
    StartReportLevels(options.count(), options.get(), filterArgv, ppd.get());
    EXPECT_EQ(current_cupsSNMPSupplies, c.after) << c.line << " from " << int(c.before);
  }
  current_cupsSNMPSupplies = 0;
}

TEST(ReportThread, StartsWithEverySignalBlockedAndItsPlaceAsArgument)
{
  struct Seen {
    pthread_t thread;
    bool sawOwnPlace = false;
    bool termBlocked = false;
    bool pipeBlocked = false;
    bool intBlocked = false;
  } seen;
  auto routine = [](void *argument) -> void * {
    auto *s = static_cast<Seen *>(argument);
    sigset_t mask;
    pthread_sigmask(SIG_SETMASK, nullptr, &mask);
    s->sawOwnPlace = argument == &s->thread;
    s->termBlocked = sigismember(&mask, SIGTERM) == 1;
    s->pipeBlocked = sigismember(&mask, SIGPIPE) == 1;
    s->intBlocked = sigismember(&mask, SIGINT) == 1;
    return nullptr;
  };
  ASSERT_TRUE(InitReportLevelsThread(&seen.thread, routine));
  pthread_join(seen.thread, nullptr);
  EXPECT_TRUE(seen.sawOwnPlace);
  EXPECT_TRUE(seen.termBlocked);
  EXPECT_TRUE(seen.pipeBlocked);
  EXPECT_TRUE(seen.intBlocked);

  // The creating thread keeps its own mask.
  sigset_t mask;
  pthread_sigmask(SIG_SETMASK, nullptr, &mask);
  EXPECT_EQ(sigismember(&mask, SIGTERM), 0);
  EXPECT_FALSE(InitReportLevelsThread(nullptr, routine));
}

}  // namespace
