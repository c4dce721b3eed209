// Copy-control patterns: the settings, the marking text, its composition to NFC (against Python's unicodedata) and
// the two fragments.

#include <arvex/marking.h>
#include <arvex/numbering.h>
#include <arvex/unicode.h>

#include <cstdlib>
#include <cstring>

#include "arvex/test.h"

namespace {

using namespace arvex::test;

constexpr const char *kSettings = "marking-settings.ppd", *kDom = "marking-dom.ppd", *kBare = "marking-bare.ppd";
#define CT PS "CCPCustomText="
#define CC(t) " " PS "CCPCopyControlType='" t "'"

std::string escaped(const std::string &bytes)  // every byte as a backslash and three octal digits
{
  std::string out;
  for (unsigned char b : bytes)
    out += {'\\', char('0' + (b >> 6)), char('0' + ((b >> 3) & 7)), char('0' + (b & 7))};
  return out;
}

// The source flag and the marking text, normalised.
std::string markingText(const JobInfo *job)
{
  char text[1025] = {};
  InsertBuffer buf{text, sizeof(text), text};
  const int flag = getCCPCustomText(job, &buf);
  return shown(flag) + "|" + normalised(text);
}

TEST(Marking, Settings)
{
  setenv("SOFTWARE", "CUPS/2.1", 1);
  expectReaders("marking-readers.txt", {
      {"codes", ARVEX_READ(getCopyControlType(job), getCCPColor(job), getCCPDensity(job), getCCPMaskPattern(job),
                           getCCPEffect(job, 2), getCCPPosition(job), getCCPRepeat(job))},
      {"texts", ARVEX_READ(getCCPEffect(job, 1), getCCPEffect(job, 2), getCCPEffect(job, 0), getCCPEffect(job, 7),
                           getPPDCCPSize(job, work[0]), getPPDCCPAngle(job, work[1]),
                           getPPDCCPLinespace(job, work[2]))},
      {"ppd effect", ARVEX_READ(getPPDCCPEffect(job, 1), getPPDCCPEffect(job, 2), getPPDCCPEffect(job, 7))},
      {"font", ARVEX_READ(getPPDCCPFont(job))}, {"default font", ARVEX_READ(getDefaultFont(job))},
      {"type", ARVEX_READ(getCCPTextType(job))}, {"text", markingText},
      {"copy control", ARVEX_READ(getCopyControlType(job))}, {"colour", ARVEX_READ(getCCPColor(job))},
      {"density", ARVEX_READ(getCCPDensity(job))}, {"mask", ARVEX_READ(getCCPMaskPattern(job))},
      {"position", ARVEX_READ(getCCPPosition(job))}, {"repeat", ARVEX_READ(getCCPRepeat(job))},
      {"numbering size", ARVEX_READ(BnGetSize(job))}, {"numbering density", ARVEX_READ(BnGetDensity(job))},
      {"numbering colour", ARVEX_READ(BnGetColor(job))}});
  char one[1] = {'x'};  // emptied even when nothing fits
  InsertBuffer tiny{one, 1, one};
  EXPECT_EQ(getCCPCustomText(TestJob({kSettings, CT "101"}).get(), &tiny), 0);
  EXPECT_EQ(one[0], '\0');
  setenv("SOFTWARE", "CUPS/2.0", 1);
  EXPECT_EQ(markingText(TestJob({kDom, "AXText=Custom.caf\xc3\xa9" CC("Prevention Copy Pattern")}).get()),
            "1|\\103\\117\\120\\131");
  unsetenv("SOFTWARE");

  for (const auto &[zone, offset] : {std::pair{"XYZ-13:45", 49500}, {"XYZ+11:30", -41400}}) {
    setenv("TZ", zone, 1);
    tzset();
    const std::string before = utcStamp(offset, "%Y/%m/%d %H:%M");
    char stamp[ARVEX_MARKING_TIME_SIZE];
    EXPECT_EQ(getCCPCurrentTime(stamp), 0);
    EXPECT_TRUE(stamp == before || stamp == utcStamp(offset, "%Y/%m/%d %H:%M")) << zone << ": " << stamp;
  }
  unsetenv("TZ");
  tzset();
  EXPECT_EQ(getCCPCurrentTime(nullptr), -1);
}

TEST(Marking, Appends)
{
  const std::map<std::string, int (*)(const char *, InsertBuffer *, int)> appends = {
      {"job name", addJobName}, {"ppd text", addPPDUtf8Text}, {"literal", addLiteralText}};
  for (const CaseRow &c : caseTable("marking.txt#appends", 5)) {
    char text[1025] = {};
    InsertBuffer buf{text, sizeof(text), text};
    EXPECT_EQ(appends.at(c[0])(c[1].c_str(), &buf, std::stoi(c[2])), std::stoi(c[3])) << c.where;
    EXPECT_EQ(text, c[4]) << c.where;
  }
  GuardedBuffer small(8);
  strcatOctet(small.get(), "101102");
  EXPECT_EQ(small.text(), "\\101");
}

// "result|output" of the composition of exactly text's bytes into capacity
// guarded bytes.
std::string composed(const std::string &text, size_t capacity = 256)
{
  const std::unique_ptr<char[]> in(new char[text.size()]);
  std::memcpy(in.get(), text.data(), text.size());
  GuardedBuffer out(capacity);
  const int result = convertUTF8MACtoUTF8(static_cast<int>(text.size()), in.get(), out.get()->start, capacity);
  EXPECT_TRUE(out.guarded());
  return shown(result) + "|" + out.text();
}

// "result|bytes|units" of the composition of units into capacity guarded bytes.
std::string composedUnits(std::vector<uint16_t> units, int capacity)
{
  GuardedBuffer out(static_cast<size_t>(capacity));
  auto *composed = reinterpret_cast<uint16_t *>(out.get()->start);
  int bytes = -1;
  const int result = normalizeUnicode(units.data(), 2 * int(units.size()), composed, capacity, &bytes);
  std::string text = shown(result, bytes);
  for (int i = 0; i < bytes / 2; ++i)
    text += "|" + std::to_string(composed[i]);
  EXPECT_TRUE(out.guarded());
  return text;
}

TEST(Marking, Nfc)
{
  const std::string eAcute = "\\145\\314\\201", qa = "\\340\\245\\230";
  for (const CaseRow &c : caseTable("marking.txt#nfc", 3))
    EXPECT_EQ(composed(c[0], c[1].empty() ? 256 : std::stoul(c[1])), c[2]) << c.where;
  EXPECT_EQ(composed("\\\\101\\n\\("), "1|\\\\101\\n\\(");
  EXPECT_EQ(composed("ab\\n", 2), "-1|ab");
  std::string full = repeat(qa, 1024 / 12);
  full.resize(1024, '\0');
  EXPECT_EQ(composed(full, 1024).substr(0, 3), "-1|");
  // Zero padding comes back as it is.
  std::string padded = eAcute, out(1024, 'Z');
  padded.resize(1024, '\0');
  EXPECT_EQ(convertUTF8MACtoUTF8(1024, padded.data(), out.data(), out.size()), 1);
  EXPECT_EQ(out, "\\303\\251" + std::string(1012, '\0') + "ZZZZ");
  EXPECT_EQ(shown(convertUTF8MACtoUTF8(0, "x", out.data(), 4), convertUTF8MACtoUTF8(1, nullptr, out.data(), 4),
                  convertUTF8MACtoUTF8(1, "x", nullptr, 4)), "1|-1|-1");
  // Latin, Greek, Hangul jamo, kana with both sound marks, Angstrom and Kelvin
  // signs, stacked marks and an exclusion, all in the BMP.
  const std::string text = "Ame\xcc\x81lie \xce\xb1\xcc\x81 \xe1\x84\x80\xe1\x85\xa1\xe1\x86\xa8 \xe3\x81\x8b\xe3\x82"
                           "\x99\xe3\x81\xaf\xe3\x82\x9a \xe2\x84\xab \xe2\x84\xaa o\xcc\x88\xcc\x81 A\xcc\x8a "
                           "\xe0\xa5\x98 a\xcc\xa3\xcc\x87";
  const std::string python = shell("python3 -c 'import sys, unicodedata; sys.stdout.buffer.write(unicodedata."
                                   "normalize(\"NFC\", sys.stdin.buffer.read().decode()).encode())'", text);
  ASSERT_NE(python, text);
  EXPECT_EQ(composed(escaped(text)), "1|" + escaped(python));

  // e U+0301 A, U+0958, a lone and a paired surrogate; the output exactly fits or is one unit short.
  EXPECT_EQ(composedUnits({0x0065, 0x0301, 0x0041}, 4), "1|4|233|65");
  EXPECT_EQ(composedUnits({0x0958}, 2), "-1|-1");
  EXPECT_EQ(composedUnits({0x0958}, 4), "1|4|2325|2364");
  EXPECT_EQ(composedUnits({0x0041, 0xDC00}, 8), "-1|-1");
  EXPECT_EQ(composedUnits({0xD83D, 0xDE00}, 4), "1|4|55357|56832");
  const uint16_t pair[] = {0xD83D, 0xDE00};
  uint16_t units[4] = {};
  int bytes = -1;
  EXPECT_EQ(normalizeUnicode(pair, 0, units, 8, &bytes), 1);  // nothing to compose
  EXPECT_EQ(bytes, 0);
  EXPECT_EQ(shown(normalizeUnicode(nullptr, 2, units, 8, &bytes), normalizeUnicode(pair, 4, nullptr, 8, &bytes),
                  normalizeUnicode(pair, -2, units, 8, &bytes), normalizeUnicode(pair, 4, units, -2, &bytes)), "-1|-1|-1|-1");
}

TEST(Marking, NfcPieces)
{
  char utf8[3] = {};
  for (const auto &[unit, expected] : std::initializer_list<std::pair<uint16_t, std::string>>{
           {0x41, "A"}, {0xE9, "\xc3\xa9"}, {0x3042, "\xe3\x81\x82"}, {0, ""}}) {
    EXPECT_EQ(std::string(utf8, convertUtf16ToUtf8(utf8, unit)), expected);
    EXPECT_EQ(convertUtf8toUtf16(reinterpret_cast<const unsigned char *>(expected.data()), int(expected.size())), unit);
  }
  EXPECT_EQ(shown(convertUtf16ToUtf8(nullptr, 0x41), convertUtf8toUtf16(nullptr, 1)), "0|0");
  char octal[4] = "000", small[4] = "000";
  EXPECT_EQ(shown(convertOctalNotation(0xC3, octal), convertOctalNotation(8, small)), "3|2");
  EXPECT_EQ(std::string(octal) + small, "303010");
  EXPECT_EQ(shown(convertOctalNotation(0, octal), convertOctalNotation(1, nullptr)), "0|-1");
  EXPECT_EQ(shown(isUTF8ConvertTarget("\\101", 1), isUTF8ConvertTarget("\\181", 1), isUTF8ConvertTarget("\\10", 1),
                  isUTF8ConvertTarget("101", 0)), "1|0|0|1");

  char buf[32] = "(x)\\145\\314\\201", absent[] = "no marker", atEnd[] = "ab", longer[] = "=\\340\\245\\230";
  int end = -1;
  EXPECT_EQ(encodeNFC("\\", buf, static_cast<int>(std::strlen(buf)), &end), 1);
  EXPECT_EQ(std::string(buf) + " " + shown(end), "(x)\\303\\251 11");
  EXPECT_EQ(shown(encodeNFC("#", absent, 9, &end), encodeNFC("b", atEnd, 2, &end), encodeNFC("abc", atEnd, 2, &end)), "0|0|0");
  EXPECT_EQ(encodeNFC("=", longer, static_cast<int>(std::strlen(longer)), &end), 0);
  EXPECT_STREQ(longer, "=\\340\\245\\230");
}

constexpr Writer kGuard = [](const JobInfo *job, InsertBuffer *out, const char *lf) {
  return getInsertStringForCopyGuard(job, 1, out, lf);
};
constexpr Writer kPattern = [](const JobInfo *job, InsertBuffer *out, const char *lf) {
  return getInsertStringForPreventionCopyPattern(job, 2, out, lf);
};

TEST(Marking, Fragments)
{
  setenv("SOFTWARE", "CUPS/2.4.2", 1);
  expectWriters("marking-fragments.txt", {{"guard", kGuard}, {"pattern", kPattern}});
  unsetenv("SOFTWARE");
  for (Writer write : {kGuard, kPattern}) {
    err_no = 0;
    EXPECT_EQ(write(TestJob({kBare, "x=y"}).get(), nullptr, "\n"), 1);
    EXPECT_EQ(err_no, ARVEX_ERR_WRITER);
  }
}

}  // namespace
