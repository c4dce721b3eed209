// The marking text: octal notation, the PPD's user text and its "COPY"
// fallbacks, the combined types with their 64-byte count, the job-name
// tokens, the source flag and the time stamp.

#include <arvex/marking.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "MarkingJob.h"

namespace {

using arvex::test::escaped;
using arvex::test::MarkingJob;
using arvex::test::markingPpd;

constexpr const char *kTextType = "com.arvex.printsettings.CCPTextType";
constexpr const char *kCustomText = "com.arvex.printsettings.CCPCustomText";
constexpr const char *kUserName = "com.arvex.printsettings.CCPUserName";
constexpr const char *kJobName = "com.arvex.printsettings.CCPJobName";
constexpr const char *kCopyControl = "com.arvex.printsettings.CCPCopyControlType";

class TextTest : public arvex::test::MarkingTest {};

// A zeroed marking text buffer of the fragments' size.
struct MarkingText {
  char storage[1025] = {};
  InsertBuffer buf{storage, sizeof(storage), storage};
  std::string text() const { return storage; }
};

struct Built {
  std::string text;
  int flag;
};

Built build(const JobInfo *job)
{
  MarkingText m;
  const int flag = getCCPCustomText(job, &m.buf);
  return {m.text(), flag};
}

// The local time as strftime writes it.
std::string stampNow()
{
  const time_t now = time(nullptr);
  struct tm local = {};
  localtime_r(&now, &local);
  char text[32] = {};
  strftime(text, sizeof(text), "%Y/%m/%d %H:%M", &local);
  return text;
}

// text must equal prefix + the time stamp of the moment of the call; a
// minute boundary crossed during the call allows the later stamp too.
template <typename Call>
void expectStamped(const std::string &prefix, Call call)
{
  const std::string before = stampNow();
  const std::string got = call();
  const std::string after = stampNow();
  if (before == after)
    EXPECT_EQ(got, prefix + before);
  else
    EXPECT_TRUE(got == prefix + before || got == prefix + after) << got;
}

TEST_F(TextTest, TextTypesFromDialogAndPpd)
{
  const std::pair<const char *, const char *> names[] = {
      {"User Defined", "UserText"},
      {"Login User Name", "LoginUserName"},
      {"PrintJob Name", "JobName"},
      {"PrintJob Time", "JobTime"},
      {"Login User Name + PrintJob Name", "LoginUserNameJobName"},
      {"Login User Name + PrintJob Time", "LoginUserNameJobTime"},
      {"PrintJob Name + PrintJob Time", "JobNameTime"},
      {"Login User Name + PrintJob Name + PrintJob Time", "LoginUserNameJobNameTime"},
  };
  for (int code = 0; code < 8; ++code) {
    MarkingJob dialog(markingPpd("marking-settings.ppd"));
    dialog.mark("AXTypeText", "JobTime").option(kTextType, names[code].first);
    EXPECT_EQ(getCCPTextType(dialog), code);
    MarkingJob ppd(markingPpd("marking-settings.ppd"));
    ppd.mark("AXTypeText", names[code].second);
    EXPECT_EQ(getCCPTextType(ppd), code);
  }
  MarkingJob unknown(markingPpd("marking-settings.ppd"));
  unknown.mark("AXTypeText", "JobTime").option(kTextType, "LoginUserName");
  EXPECT_EQ(getCCPTextType(unknown), 0);
}

TEST_F(TextTest, UserTextInOctalNotation)
{
  auto textOf = [](const std::string &octal) {
    MarkingJob job(markingPpd("marking-settings.ppd"));
    job.option(kCustomText, octal);
    const Built b = build(job);
    EXPECT_EQ(b.flag, 0);
    return b.text;
  };
  EXPECT_EQ(textOf("101102103"), "\\101\\102\\103");
  EXPECT_EQ(textOf("\\101\\102\\103"), "\\101\\102\\103");
  EXPECT_EQ(textOf("10110"), "\\101");
  EXPECT_EQ(textOf("10"), "");
  // The option's text has no 64-byte limit, only the buffer's.
  const std::string longText(3 * 200, '7');
  EXPECT_EQ(textOf(longText).size(), 4u * 200);
  EXPECT_EQ(err_no, 0);

  // An escape that does not fit whole is left out.
  char small[8] = {};
  InsertBuffer buf{small, sizeof(small), small};
  strcatOctet(&buf, "101102");
  EXPECT_STREQ(small, "\\101");
}

TEST_F(TextTest, PpdUserTextAndItsCopyFallbacks)
{
  const std::string cafe = "caf\xc3\xa9";
  struct Case {
    const char *what;
    const char *ppd;
    const char *software;  // nullptr: unset
    const char *copyControl;
    std::string custom;  // marked as "Custom.<text>", or another choice
    std::string expected;
  };
  const std::string copy = "\\103\\117\\120\\131";
  const Case cases[] = {
      {"non-ASCII, not DOM", "marking-settings.ppd", "CUPS/2.4", "Prevention Copy Pattern", "Custom." + cafe, copy},
      {"non-ASCII, not DOM, Copy Guard", "marking-settings.ppd", "CUPS/2.4", "Copy Guard", "Custom." + cafe, copy},
      {"non-ASCII, copy control off", "marking-settings.ppd", nullptr, "Off", "Custom." + cafe, escaped(cafe)},
      {"DOM under CUPS 2.1", "marking-dom.ppd", "CUPS/2.1", "Prevention Copy Pattern", "Custom." + cafe,
       escaped(cafe)},
      {"DOM under CUPS 2.0", "marking-dom.ppd", "CUPS/2.0", "Prevention Copy Pattern", "Custom." + cafe, copy},
      {"another choice", "marking-settings.ppd", nullptr, "Copy Guard", "Confidential", copy},
      {"empty, Prevention Copy Pattern", "marking-settings.ppd", nullptr, "Prevention Copy Pattern", "Custom.", copy},
      {"empty, Copy Guard", "marking-settings.ppd", nullptr, "Copy Guard", "Custom.", ""},
      {"empty, DOM, Prevention Copy Pattern", "marking-dom.ppd", "CUPS/2.2", "Prevention Copy Pattern", "Custom.",
       copy},
      {"empty, DOM, Copy Guard", "marking-dom.ppd", "CUPS/2.2", "Copy Guard", "Custom.", ""},
      {"65 bytes", "marking-settings.ppd", nullptr, "Copy Guard", "Custom." + std::string(65, 'x'), copy},
      {"64 bytes", "marking-settings.ppd", nullptr, "Copy Guard", "Custom." + std::string(64, 'x'),
       escaped(std::string(64, 'x'))},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    if (c.software)
      setenv("SOFTWARE", c.software, 1);
    else
      unsetenv("SOFTWARE");
    MarkingJob job(markingPpd(c.ppd));
    job.mark("AXText", c.custom).option(kCopyControl, c.copyControl);
    const Built b = build(job);
    EXPECT_EQ(b.text, c.expected);
    EXPECT_EQ(b.flag, 1);
  }
  EXPECT_EQ(err_no, 0);

  // Nothing to read: an empty text that came from nowhere.
  MarkingJob none("");
  const Built b = build(none);
  EXPECT_EQ(b.text, "");
  EXPECT_EQ(b.flag, 0);
  EXPECT_EQ(getPPDCustomText(none), nullptr);
}

TEST_F(TextTest, AllThreePartsShareOneCount)
{
  setenv("TZ", "XYZ-13:45", 1);
  tzset();
  // 5 + 1 + 3 + 1 + 16 bytes: the count ends at 26.
  MarkingJob job(markingPpd("marking-settings.ppd"));
  job.option(kTextType, "Login User Name + PrintJob Name + PrintJob Time")
      .option(kUserName, "carol")
      .option(kJobName, "101_102_103");
  int flag = -1;
  expectStamped("carol \\101\\102\\103 ", [&] {
    const Built b = build(job);
    flag = b.flag;
    return b.text;
  });
  EXPECT_EQ(flag, 0);

  // 38 more letters reach 64 exactly; one more cuts the stamp's last byte.
  job.option(kUserName, "carol" + std::string(38, 'z'));
  expectStamped("carol" + std::string(38, 'z') + " \\101\\102\\103 ", [&] { return build(job).text; });
  job.option(kUserName, "carol" + std::string(39, 'z'));
  const std::string cut = build(job).text;
  const std::string prefix = "carol" + std::string(39, 'z') + " \\101\\102\\103 ";
  ASSERT_EQ(cut.size(), prefix.size() + 15);
  EXPECT_EQ(cut.substr(0, prefix.size()), prefix);
  EXPECT_EQ(err_no, 0);
}

TEST_F(TextTest, SourceFlagAndTheJobNameNextToARecordUserName)
{
  // The user name from the record turns the job-name option into plain
  // text: each digit is escaped.
  MarkingJob fromRecord(markingPpd("marking-settings.ppd"), "bob");
  fromRecord.option(kTextType, "Login User Name + PrintJob Name").option(kJobName, "101102103");
  Built b = build(fromRecord);
  EXPECT_EQ(b.text, "bob " + escaped("101102103"));
  EXPECT_EQ(b.flag, 1);

  MarkingJob fromOptions(markingPpd("marking-settings.ppd"), "bob");
  fromOptions.option(kTextType, "Login User Name + PrintJob Name")
      .option(kJobName, "101102103")
      .option(kUserName, "ann");
  b = build(fromOptions);
  EXPECT_EQ(b.text, "ann \\101\\102\\103");
  EXPECT_EQ(b.flag, 0);

  MarkingJob title(markingPpd("marking-settings.ppd"), "bob", "Q3 %s (draft)");
  title.mark("AXTypeText", "JobName");
  b = build(title);
  EXPECT_EQ(b.text, escaped("Q3 %s (draft)"));
  EXPECT_EQ(b.flag, 1);
  EXPECT_EQ(err_no, 0);
}

TEST_F(TextTest, SixtyFourByteLimitOnTitlesAndUserNames)
{
  const std::string seventy(70, 't');
  MarkingJob longTitle(markingPpd("marking-settings.ppd"), "bob", seventy);
  longTitle.option(kTextType, "PrintJob Name");
  EXPECT_EQ(build(longTitle).text, escaped(seventy.substr(0, 64)));
  EXPECT_EQ(err_no, 0);

  // The 63rd byte begins a three-byte character: the text stops before it.
  const std::string straddling = std::string(62, 't') + "\xe3\x81\x82" + "u";
  MarkingJob cutTitle(markingPpd("marking-settings.ppd"), "bob", straddling);
  cutTitle.option(kTextType, "PrintJob Name");
  const Built b = build(cutTitle);
  EXPECT_EQ(b.text, escaped(std::string(62, 't')));
  EXPECT_EQ(b.flag, 1);
  EXPECT_EQ(err_no, ARVEX_ERR_WRITER);

  // A full count leaves out the blank and the time, silently.
  err_no = 0;
  const std::string user(64, 'u');
  MarkingJob fullUser(markingPpd("marking-settings.ppd"));
  fullUser.option(kTextType, "Login User Name + PrintJob Time").option(kUserName, user);
  EXPECT_EQ(build(fullUser).text, user);
  EXPECT_EQ(err_no, 0);

  // A job-name token that does not fit ends the text with an error.
  MarkingJob token(markingPpd("marking-settings.ppd"));
  token.option(kTextType, "Login User Name + PrintJob Name")
      .option(kUserName, std::string(61, 'u'))
      .option(kJobName, "101_102_103");
  EXPECT_EQ(build(token).text, std::string(61, 'u') + " \\101\\102");
  EXPECT_EQ(err_no, ARVEX_ERR_WRITER);
}

TEST_F(TextTest, AppendsAtTheCountLimit)
{
  MarkingText m;
  EXPECT_EQ(addJobName("101_102_103", &m.buf, 62), -1);
  EXPECT_EQ(m.text(), "\\101\\102");

  MarkingText at64;
  EXPECT_EQ(addPPDUtf8Text("x", &at64.buf, 64), 64);
  EXPECT_EQ(addPPDUtf8Text("x", &at64.buf, 65), -1);
  EXPECT_EQ(addLiteralText("x", &at64.buf, 64), 64);
  EXPECT_EQ(addLiteralText("x", &at64.buf, 65), -1);
  EXPECT_EQ(addJobName("101", &at64.buf, 64), 64);
  EXPECT_EQ(addJobName("101", &at64.buf, 70), 70);
  EXPECT_EQ(at64.text(), "");
  EXPECT_EQ(addLiteralText("", &at64.buf, 10), 10);
  EXPECT_EQ(addPPDUtf8Text("", &at64.buf, 10), 10);

  // A two-byte character fits at 62 but not at 63; literal text is cut
  // inside it.
  MarkingText fits;
  EXPECT_EQ(addPPDUtf8Text("\xc3\xa9", &fits.buf, 62), 64);
  EXPECT_EQ(fits.text(), "\\303\\251");
  MarkingText noRoom;
  EXPECT_EQ(addPPDUtf8Text("\xc3\xa9", &noRoom.buf, 63), -1);
  EXPECT_EQ(noRoom.text(), "");
  MarkingText literal;
  EXPECT_EQ(addLiteralText("\xc3\xa9", &literal.buf, 63), 64);
  EXPECT_EQ(literal.text(), "\xc3");
}

TEST_F(TextTest, JobNameTokensSkipEmptyOnes)
{
  MarkingText m;
  EXPECT_EQ(addJobName("__101___102_", &m.buf, 0), 2);
  EXPECT_EQ(m.text(), "\\101\\102");

  MarkingText escapedTokens;
  EXPECT_EQ(addJobName("\\101\\102_\\103", &escapedTokens.buf, 10), 13);
  EXPECT_EQ(escapedTokens.text(), "\\101\\102\\103");

  MarkingText leftover;
  EXPECT_EQ(addJobName("1011_12", &leftover.buf, 0), 1);
  EXPECT_EQ(leftover.text(), "\\101");

  MarkingText nothing;
  EXPECT_EQ(addJobName("___", &nothing.buf, 5), 5);
  EXPECT_EQ(nothing.text(), "");
}

TEST_F(TextTest, TimeStampInTheLocalZone)
{
  for (const char *zone : {"UTC0", "JST-9", "XYZ+11:30"}) {
    SCOPED_TRACE(zone);
    setenv("TZ", zone, 1);
    tzset();
    expectStamped("", [] {
      char out[ARVEX_MARKING_TIME_SIZE];
      std::memset(out, 'x', sizeof(out));
      EXPECT_EQ(getCCPCurrentTime(out), 0);
      return std::string(out);
    });
  }
  EXPECT_EQ(getCCPCurrentTime(nullptr), -1);
}

}  // namespace
