// Copy-control settings: option/PPD precedence and the value tables, the
// colour-device rule, the effect that depends on the marking type, the
// size/angle/line-space texts and the font choice.

#include <arvex/marking.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "MarkingJob.h"

namespace {

using arvex::test::MarkingJob;
using arvex::test::markingPpd;
using arvex::test::writePpd;

class SettingsTest : public arvex::test::MarkingTest {};

struct CodedSetting {
  const char *name;
  std::function<int(const JobInfo *)> read;
  const char *optionKey;
  const char *optionValue;   // a listed dialog word
  const char *ppdKeyword;
  const char *ppdChoice;     // a listed PPD keyword
  const char *unknownValue;  // a word the table does not list
  int optionCode;
  int ppdCode;
  int fallback;
};

// One row per reader. The unknown values are the PPD spelling where the
// dialog's word differs, or another case of a listed word.
const CodedSetting kCodedSettings[] = {
    {"type", getCopyControlType, "com.arvex.printsettings.CCPCopyControlType", "Prevention Copy Pattern",
     "AXPreventionType", "CopyGuard", "PreventionCopyPattern", 2, 1, 0},
    {"colour", getCCPColor, "com.arvex.printsettings.CCPColor", "Cyan", "AXColor", "Magenta", "cyan", 1, 2, 0},
    {"density", getCCPDensity, "com.arvex.printsettings.CCPDensity", "Very Dark", "AXDensity", "VeryLight", "Medium",
     5, 1, 3},
    {"mask", getCCPMaskPattern, "com.arvex.printsettings.CCPMaskType", "Interlocking Circles", "AXMaskType",
     "Hexagonal", "InterlockingCircles", 5, 10, 0},
    {"effect", [](const JobInfo *j) { return getCCPEffect(j, 2); }, "com.arvex.printsettings.CCPEffect",
     "Reverse Patterns", "AXEffects", "TextOnly", "ReversePatterns", 2, 4, 0},
    {"position", getCCPPosition, "com.arvex.printsettings.CCPPosition", "Center Top", "AXPosition", "BottomRight",
     "TopCenter", 1, 6, 3},
    {"repeat", getCCPRepeat, "com.arvex.printsettings.CCPRepeat", "Repeat and Rotate carriage return", "AXRepeat",
     "Repeat", "off", 2, 1, 0},
};

TEST_F(SettingsTest, OptionDecidesAloneAndPpdFillsIn)
{
  const std::string ppd = markingPpd("marking-settings.ppd");
  for (const auto &s : kCodedSettings) {
    SCOPED_TRACE(s.name);
    {
      MarkingJob job(ppd);
      job.mark(s.ppdKeyword, s.ppdChoice).option(s.optionKey, s.optionValue);
      EXPECT_EQ(s.read(job), s.optionCode);
    }
    {
      MarkingJob job(ppd);
      job.mark(s.ppdKeyword, s.ppdChoice);
      EXPECT_EQ(s.read(job), s.ppdCode);
    }
    {
      // An unknown value falls back without asking the PPD.
      MarkingJob job(ppd);
      job.mark(s.ppdKeyword, s.ppdChoice).option(s.optionKey, s.unknownValue);
      EXPECT_EQ(s.read(job), s.fallback);
    }
    {
      MarkingJob job("");
      EXPECT_EQ(s.read(job), s.fallback);
      job.option(s.optionKey, s.optionValue);
      EXPECT_EQ(s.read(job), s.optionCode);
    }
  }
  EXPECT_EQ(err_no, 0);  // options are looked up without latching
}

TEST_F(SettingsTest, CentredEdgePositionsAreSpelledDifferently)
{
  MarkingJob job(markingPpd("marking-settings.ppd"));
  job.mark("AXPosition", "TopCenter");
  EXPECT_EQ(getCCPPosition(job), 1);
  job.mark("AXPosition", "BottomCenter");
  EXPECT_EQ(getCCPPosition(job), 5);

  MarkingJob dialog(markingPpd("marking-settings.ppd"));
  dialog.option("com.arvex.printsettings.CCPPosition", "Center Bottom");
  EXPECT_EQ(getCCPPosition(dialog), 5);
  dialog.option("com.arvex.printsettings.CCPPosition", "BottomCenter");
  EXPECT_EQ(getCCPPosition(dialog), 3);
}

TEST_F(SettingsTest, PpdColourNeedsAColourDevice)
{
  const std::string mono = writePpd("mono", "*ColorDevice: False\n"
                                            "*OpenUI *AXColor: PickOne\n*DefaultAXColor: Magenta\n"
                                            "*AXColor Black: \"\"\n*AXColor Magenta: \"\"\n*CloseUI: *AXColor\n");
  MarkingJob job(mono);
  EXPECT_EQ(getCCPColor(job), 0);
  job.option("com.arvex.printsettings.CCPColor", "Magenta");
  EXPECT_EQ(getCCPColor(job), 2);

  const std::string lowerCase = writePpd("colour-lower", "*ColorDevice: true\n"
                                                         "*OpenUI *AXColor: PickOne\n*DefaultAXColor: Cyan\n"
                                                         "*AXColor Cyan: \"\"\n*CloseUI: *AXColor\n");
  MarkingJob colour(lowerCase);
  EXPECT_EQ(getCCPColor(colour), 1);
}

TEST_F(SettingsTest, BackgroundOnlyDependsOnTheMarkingType)
{
  MarkingJob fromPpd(markingPpd("marking-settings.ppd"));
  fromPpd.mark("AXEffects", "BackgroundOnly");
  MarkingJob fromOption("");
  fromOption.option("com.arvex.printsettings.CCPEffect", "Background Only");
  for (const JobInfo *job : {fromPpd.get(), fromOption.get()}) {
    EXPECT_EQ(getCCPEffect(job, 1), 1);
    EXPECT_EQ(getCCPEffect(job, 2), 3);
    EXPECT_EQ(getCCPEffect(job, 0), 0);
    EXPECT_EQ(getCCPEffect(job, 7), 0);
  }
}

TEST_F(SettingsTest, SizeAngleAndLineSpaceTexts)
{
  char work[5] = {};
  MarkingJob none("");
  EXPECT_STREQ(getPPDCCPSize(none, work), "70");
  EXPECT_STREQ(getPPDCCPAngle(none, work), "30");
  EXPECT_STREQ(getPPDCCPLinespace(none, work), "70");

  MarkingJob job(markingPpd("marking-settings.ppd"));
  EXPECT_STREQ(getPPDCCPSize(job, work), "70");
  job.mark("AXSize", "40").mark("AXAngel", "0").mark("AXLineSpace", "50");
  EXPECT_STREQ(getPPDCCPSize(job, work), "40");
  EXPECT_STREQ(getPPDCCPAngle(job, work), "0");
  EXPECT_STREQ(getPPDCCPLinespace(job, work), "50");

  // Custom values keep at most three characters.
  job.mark("AXSize", "Custom.1000");
  EXPECT_STREQ(getPPDCCPSize(job, work), "100");
  EXPECT_EQ(getPPDCCPSize(job, work), work);
  job.mark("AXAngel", "Custom.-5");
  EXPECT_STREQ(getPPDCCPAngle(job, work), "-5");
  job.mark("AXAngel", "Custom.-45");
  EXPECT_STREQ(getPPDCCPAngle(job, work), "-45");
  job.mark("AXLineSpace", "Custom.7");
  EXPECT_STREQ(getPPDCCPLinespace(job, work), "7");
}

TEST_F(SettingsTest, FontChoiceOnDomAndOtherDestinations)
{
  MarkingJob dom(markingPpd("marking-dom.ppd"));
  const std::pair<const char *, const char *> cid[] = {
      {"HeiseiMinW3", "HeiseiMin-W3-UniJIS-UTF8-H"},       {"HeiseiKakuGoW5", "HeiseiKakuGo-W5-UniJIS-UTF8-H"},
      {"RyuminLight", "Ryumin-Light-UniJIS-UTF8-H"},       {"GothicBBBMedium", "GothicBBB-Medium-UniJIS-UTF8-H"},
      {"HGHeiseiMinW3", "HGHeiseiMin-W3-UniJIS-UTF8-H"},   {"HGHeiseiKakuGoW5", "HGHeiseiKakuGo-W5-UniJIS-UTF8-H"},
  };
  for (const auto &[choice, font] : cid) {
    dom.mark("AXFont", choice);
    EXPECT_STREQ(getPPDCCPFont(dom), font) << choice;
  }
  dom.mark("AXFont", "Helvetica");
  EXPECT_STREQ(getPPDCCPFont(dom), "Helvetica-Bold");  // the translation text

  MarkingJob other(markingPpd("marking-settings.ppd"));
  other.mark("AXFont", "HeiseiMinW3");
  EXPECT_STREQ(getPPDCCPFont(other), "Heisei Mincho W3");
  other.mark("AXFont", "Default");
  EXPECT_STREQ(getPPDCCPFont(other), "ArialMT");

  MarkingJob noFontOption(writePpd("nofont", "*CCPDestination: \"DOM\"\n"));
  EXPECT_EQ(getPPDCCPFont(noFontOption), nullptr);
  MarkingJob noPpd("");
  EXPECT_EQ(getPPDCCPFont(noPpd), nullptr);
}

// Default font of a PPD made of lines.
std::string defaultFontOf(const char *name, const std::string &lines)
{
  MarkingJob job(writePpd(name, lines));
  EXPECT_NE(job.get()->ppd, nullptr) << name;
  const char *font = getDefaultFont(job);
  return font ? font : "(null)";
}

TEST_F(SettingsTest, DefaultFontWalksTheResidentFonts)
{
  const std::string dom = "*CCPDestination: \"DOM\"\n";
  const std::string heisei = "*Font HeiseiMin-W3-H: JIS \"(003.000)\" JIS ROM\n";
  const std::string ryumin = "*Font Ryumin-Light-H: JIS \"(003.000)\" JIS ROM\n";
  const std::string courier = "*Font Courier: Standard \"(002.004S)\" Standard ROM\n";

  EXPECT_EQ(getDefaultFont(MarkingJob(markingPpd("marking-dom.ppd"))), std::string("GothicBBB-Medium-UniJIS-UTF8-H"));
  EXPECT_EQ(defaultFontOf("heisei-only", dom + heisei + courier), "HeiseiKakuGo-W5-UniJIS-UTF8-H");
  EXPECT_EQ(defaultFontOf("ryumin-first", dom + ryumin + heisei), "GothicBBB-Medium-UniJIS-UTF8-H");
  EXPECT_EQ(defaultFontOf("no-japanese", dom + courier), "ArialMT");
  EXPECT_EQ(defaultFontOf("no-fonts", dom), "ArialMT");
  // After the first entry the walk stops at the first Japanese font, so a
  // Ryumin font behind a Heisei font is never seen. The walk follows the
  // PPD's order, not the names' order.
  EXPECT_EQ(defaultFontOf("walk-stops", dom + courier + heisei + ryumin), "HeiseiKakuGo-W5-UniJIS-UTF8-H");
  EXPECT_EQ(defaultFontOf("walk-ryumin", dom + courier + ryumin + heisei), "GothicBBB-Medium-UniJIS-UTF8-H");
  EXPECT_EQ(defaultFontOf("not-dom", heisei + ryumin), "ArialMT");
}

TEST_F(SettingsTest, DefaultFontOfTheZolpsInterpreter)
{
  const std::string dom = "*CCPDestination: \"DOM\"\n";
  const std::string fonts = "*Font HeiseiMin-W3-H: JIS \"(003.000)\" JIS ROM\n"
                            "*Font Ryumin-Light-H: JIS \"(003.000)\" JIS ROM\n";
  auto interpreter = [](const char *def) {
    return std::string("*OpenUI *AXPostScript: PickOne\n*DefaultAXPostScript: ") + def +
           "\n*AXPostScript Adobe: \"\"\n*AXPostScript ZOLPS: \"\"\n*CloseUI: *AXPostScript\n";
  };
  const std::string zolpsFont = "*AXZOLPSFont: True\n";

  EXPECT_EQ(defaultFontOf("zolps", interpreter("ZOLPS") + fonts), "NimbusSans-Bold");
  EXPECT_EQ(defaultFontOf("zolps-dom", dom + interpreter("ZOLPS") + fonts), "HGHeiseiKakuGo-W5-UniJIS-UTF8-H");
  EXPECT_EQ(defaultFontOf("zolps-attr", zolpsFont), "NimbusSans-Bold");
  EXPECT_EQ(defaultFontOf("zolps-attr-dom", dom + zolpsFont + fonts), "HGHeiseiKakuGo-W5-UniJIS-UTF8-H");
  // With the option present its default choice decides; the attribute is
  // not considered, and marking another choice changes nothing.
  EXPECT_EQ(defaultFontOf("adobe-attr", interpreter("Adobe") + zolpsFont), "ArialMT");
  EXPECT_EQ(defaultFontOf("adobe-attr-dom", dom + interpreter("Adobe") + zolpsFont + fonts),
            "GothicBBB-Medium-UniJIS-UTF8-H");
  MarkingJob marked(writePpd("zolps-marked", interpreter("ZOLPS")));
  marked.mark("AXPostScript", "Adobe");
  EXPECT_STREQ(getDefaultFont(marked), "NimbusSans-Bold");
}

}  // namespace
