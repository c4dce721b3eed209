// The Prevention Copy Pattern and Copy Guard fragments, written into the
// 1024-byte buffer the fragment builder gives them.

#include <arvex/marking.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "MarkingJob.h"

namespace {

using arvex::test::escaped;
using arvex::test::MarkingJob;
using arvex::test::markingPpd;

using Writer = int (*)(const JobInfo *, int, InsertBuffer *, const char *);

struct Kind {
  const char *name;
  Writer write;
  int type;
};
const Kind kKinds[] = {{"Prevention Copy Pattern", getInsertStringForPreventionCopyPattern, 2},
                       {"Copy Guard", getInsertStringForCopyGuard, 1}};

struct Written {
  int result;
  std::string text;
};

// Run a writer on a 1024-byte buffer that already holds some text.
Written write(Writer writer, const JobInfo *job, int type, const char *lf = "\n", const std::string &before = "")
{
  char storage[1024] = {};
  before.copy(storage, before.size());
  InsertBuffer out{storage, sizeof(storage), storage + before.size()};
  const int result = writer(job, type, &out, lf);
  EXPECT_EQ(out.cursor, storage + std::string(storage).size());
  return {result, storage};
}

// The value after "key " on its line of a LF fragment.
std::string field(const std::string &fragment, const std::string &key)
{
  const size_t at = fragment.find("\n" + key + " ");
  if (at == std::string::npos)
    return "(absent)";
  const size_t begin = at + key.size() + 2;
  return fragment.substr(begin, fragment.find('\n', begin) - begin);
}

class FragmentTest : public arvex::test::MarkingTest {};

TEST_F(FragmentTest, PreventionCopyPatternOnABarePpd)
{
  MarkingJob job(markingPpd("marking-bare.ppd"));
  const Written w = write(getInsertStringForPreventionCopyPattern, job, 2, "\r\n", "head\r\n");
  EXPECT_EQ(w.result, 0);
  EXPECT_EQ(w.text, "head\r\n"
                    "\r\nmark {\r\n<< /MarkingType 2\r\n/MarkingColor 0\r\n/MarkingDensity 3\r\n/MaskPattern 0\r\n"
                    "/StringEffect 0\r\n/StringAttributes <<\r\n/FontName (ArialMT)\r\n/FontSize 70\r\n"
                    "/String (\\103\\117\\120\\131)\r\n/StringPosition 3\r\n/StringAngle 30\r\n"
                    "/StringLoopAttributes null\r\n"
                    ">>\r\n>>\r\n/ADeviceProcSet /ProcSet findresource /SetMarkingType get exec\r\n"
                    "} stopped cleartomark\r\n\r\n");
  // The absent font option was looked up through the latching lookup.
  EXPECT_EQ(err_no, ARVEX_ERR_NOOPTION);
}

TEST_F(FragmentTest, CopyGuardFromJobOptions)
{
  MarkingJob job(markingPpd("marking-bare.ppd"));
  job.option("com.arvex.printsettings.CCPEffect", "Background Only")
      .option("com.arvex.printsettings.CCPFont", "Courier")
      .option("com.arvex.printsettings.CCPSize", "48")
      .option("com.arvex.printsettings.CCPCustomText", "101102")
      .option("com.arvex.printsettings.CCPAngle", "45")
      .option("com.arvex.printsettings.CCPRepeat", "Repeat")
      .option("com.arvex.printsettings.CCPLineSpace", "60")
      .option("com.arvex.printsettings.CCPColor", "Cyan");
  const Written w = write(getInsertStringForCopyGuard, job, 1);
  EXPECT_EQ(w.result, 0);
  EXPECT_EQ(w.text, "\nmark {\n<< /MarkingType 1\n/StringEffect 1\n/StringAttributes <<\n/FontName (Courier)\n"
                    "/FontSize 48\n/String (\\101\\102)\n/StringPosition 3\n/StringAngle 45\n"
                    "/StringLoopAttributes <<\n/StringLoopInterval 60\n/StringLoopToggle false\n>>\n"
                    ">>\n>>\n/ADeviceProcSet /ProcSet findresource /SetMarkingType get exec\n"
                    "} stopped cleartomark\n\n");
  EXPECT_EQ(err_no, 0);
}

TEST_F(FragmentTest, MaskPatternSilencesTheEffectOfPreventionCopyPattern)
{
  MarkingJob job(markingPpd("marking-settings.ppd"));
  job.option("com.arvex.printsettings.CCPEffect", "Text Only");
  EXPECT_EQ(field(write(getInsertStringForPreventionCopyPattern, job, 2).text, "/StringEffect"), "4");
  job.option("com.arvex.printsettings.CCPMaskType", "Mesh");
  const std::string pcp = write(getInsertStringForPreventionCopyPattern, job, 2).text;
  EXPECT_EQ(field(pcp, "/MaskPattern"), "2");
  EXPECT_EQ(field(pcp, "/StringEffect"), "0");
  const std::string cg = write(getInsertStringForCopyGuard, job, 1).text;
  EXPECT_EQ(field(cg, "/StringEffect"), "4");
  EXPECT_EQ(field(cg, "/MaskPattern"), "(absent)");

  job.mark("AXColor", "Magenta").mark("AXDensity", "Dark");
  const std::string colours = write(getInsertStringForPreventionCopyPattern, job, 2).text;
  EXPECT_EQ(field(colours, "/MarkingColor"), "2");
  EXPECT_EQ(field(colours, "/MarkingDensity"), "4");
}

TEST_F(FragmentTest, PositionOnlyForAnUnrotatedSingleText)
{
  for (const auto &kind : kKinds) {
    SCOPED_TRACE(kind.name);
    MarkingJob job(markingPpd("marking-settings.ppd"));
    job.option("com.arvex.printsettings.CCPPosition", "Top Left");
    for (const auto &[angle, position] : {std::pair{"0", "0"}, {"00", "3"}, {"0.0", "3"}, {"30", "3"}}) {
      job.option("com.arvex.printsettings.CCPAngle", angle);
      const std::string text = write(kind.write, job, kind.type).text;
      EXPECT_EQ(field(text, "/StringPosition"), position) << angle;
      EXPECT_EQ(field(text, "/StringAngle"), angle);
      EXPECT_NE(text.find("/StringLoopAttributes null\n"), std::string::npos);
    }
    // The angle from the PPD counts the same way.
    MarkingJob fromPpd(markingPpd("marking-settings.ppd"));
    fromPpd.mark("AXAngel", "0").mark("AXPosition", "BottomRight");
    EXPECT_EQ(field(write(kind.write, fromPpd, kind.type).text, "/StringPosition"), "6");
  }
}

TEST_F(FragmentTest, RepeatModesWriteTheLineSpace)
{
  for (const auto &kind : kKinds) {
    SCOPED_TRACE(kind.name);
    MarkingJob job(markingPpd("marking-settings.ppd"));
    job.option("com.arvex.printsettings.CCPAngle", "0").option("com.arvex.printsettings.CCPPosition", "Top Left");
    job.mark("AXLineSpace", "Custom.120");
    const std::pair<const char *, const char *> modes[] = {{"Repeat", "false"},
                                                           {"Repeat and Rotate carriage return", "true"}};
    for (const auto &[repeat, toggle] : modes) {
      job.option("com.arvex.printsettings.CCPRepeat", repeat);
      const std::string text = write(kind.write, job, kind.type).text;
      EXPECT_NE(text.find(std::string("/StringAngle 0\n/StringLoopAttributes <<\n/StringLoopInterval 120\n"
                                      "/StringLoopToggle ") +
                          toggle + "\n>>\n>>\n>>\n"),
                std::string::npos)
          << text;
      EXPECT_EQ(field(text, "/StringPosition"), "3");
    }
  }
}

TEST_F(FragmentTest, OptionTextsPassUnchanged)
{
  for (const auto &kind : kKinds) {
    SCOPED_TRACE(kind.name);
    MarkingJob job(markingPpd("marking-bare.ppd"));
    job.option("com.arvex.printsettings.CCPFont", "Odd%d(Font)\\")
        .option("com.arvex.printsettings.CCPSize", "%s")
        .option("com.arvex.printsettings.CCPTextType", "Login User Name")
        .option("com.arvex.printsettings.CCPUserName", "50% (ann)");
    const std::string text = write(kind.write, job, kind.type).text;
    EXPECT_EQ(field(text, "/FontName"), "(Odd%d(Font)\\)");
    EXPECT_EQ(field(text, "/FontSize"), "%s");
    EXPECT_EQ(field(text, "/String"), "(50% (ann))");
  }
}

TEST_F(FragmentTest, MissingFontFailsWithoutWriting)
{
  for (const auto &kind : kKinds) {
    SCOPED_TRACE(kind.name);
    err_no = 0;
    MarkingJob noPpd("");
    const Written w = write(kind.write, noPpd, kind.type, "\n", "kept");
    EXPECT_EQ(w.result, 1);
    EXPECT_EQ(w.text, "kept");
    EXPECT_EQ(err_no, ARVEX_ERR_NOOPTION);  // latched by the font lookup first

    MarkingJob noFont(arvex::test::writePpd("no-axfont", "*ColorDevice: False\n"));
    EXPECT_EQ(write(kind.write, noFont, kind.type).result, 1);

    err_no = 0;
    EXPECT_EQ(kind.write(noFont, kind.type, nullptr, "\n"), 1);
    EXPECT_EQ(err_no, ARVEX_ERR_WRITER);
  }
}

TEST_F(FragmentTest, DialogTextIsComposedButPpdTextIsNot)
{
  // printf 'e\xcc\x81' | uconv -x nfc | od -An -to1  -> 303 251
  const std::string decomposed = "145314201";
  for (const auto &kind : kKinds) {
    SCOPED_TRACE(kind.name);
    MarkingJob job(markingPpd("marking-bare.ppd"));
    job.option("com.arvex.printsettings.CCPCustomText", decomposed + "101");
    EXPECT_EQ(field(write(kind.write, job, kind.type).text, "/String"), "(\\303\\251\\101)");

    // 21 decomposed letters and one more byte: a 64-byte text.
    std::string full;
    for (int i = 0; i < 21; ++i)
      full += decomposed;
    MarkingJob longer(markingPpd("marking-bare.ppd"));
    longer.option("com.arvex.printsettings.CCPCustomText", full + "102");
    std::string expected;
    for (int i = 0; i < 21; ++i)
      expected += "\\303\\251";
    EXPECT_EQ(field(write(kind.write, longer, kind.type).text, "/String"), "(" + expected + "\\102)");

    // The same letters from the PPD are left as the PPD has them.
    setenv("SOFTWARE", "CUPS/2.4.2", 1);
    MarkingJob dom(markingPpd("marking-dom.ppd"));
    dom.mark("AXText", "Custom.e\xcc\x81");
    EXPECT_EQ(field(write(kind.write, dom, kind.type).text, "/String"), "(" + escaped("e\xcc\x81") + ")");
    unsetenv("SOFTWARE");

    // Nothing of a longer earlier text survives in the static buffers.
    MarkingJob shorter(markingPpd("marking-bare.ppd"));
    shorter.option("com.arvex.printsettings.CCPCustomText", "103");
    EXPECT_EQ(field(write(kind.write, shorter, kind.type).text, "/String"), "(\\103)");
  }
}

TEST_F(FragmentTest, SizeFromThePpdWorkBuffer)
{
  MarkingJob job(markingPpd("marking-settings.ppd"));
  job.mark("AXSize", "Custom.1234").mark("AXAngel", "Custom.-30");
  const std::string text = write(getInsertStringForPreventionCopyPattern, job, 2).text;
  EXPECT_EQ(field(text, "/FontSize"), "123");
  EXPECT_EQ(field(text, "/StringAngle"), "-30");
  EXPECT_EQ(field(text, "/FontName"), "(ArialMT)");
}

}  // namespace
