// The charset code of a job, the cut of UTF-8 text at a byte limit and the
// conversion to the printer's character sets.

#include <arvex/error.h>
#include <arvex/textencoding.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "PjlTestSupport.h"

namespace {

using arvex::test::iconvFromUtf8;
using arvex::test::makeJob;

const std::string kAuthLanguage = "com.arvex.printsettings.UserAuth.AuthLanguage=";

class CharsetTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    err_no = 0;
    unsetenv("LANG");
  }
  void TearDown() override { unsetenv("LANG"); }
};

// Run convertUtf8ToLocal for a job with the charset option; the output is
// zero-filled and longer than the limit, as callers hand it in.
struct Converted {
  int result;
  std::string bytes;
};
Converted convertForCode(const std::string &code, const char *text, int limit = 128)
{
  auto job = makeJob("", "u", kAuthLanguage + code);
  std::vector<char> out(static_cast<size_t>(limit) + 8, '\0');
  const int result = convertUtf8ToLocal(job->get(), text, out.data(), limit);
  return {result, std::string(out.data())};
}

TEST_F(CharsetTest, CodeFromLang)
{
  EXPECT_EQ(getCharsetCodeOfOS(), 2);
  const std::vector<std::pair<const char *, int>> table = {
      {"ja_JP.UTF-8", 1}, {"zh_TW.UTF-8", 9}, {"ko_KR.UTF-8", 13}, {"zh_CN.UTF-8", 33},
      {"en_US.UTF-8", 2}, {"C", 2},           {"", 2}};
  for (const auto &[lang, code] : table) {
    setenv("LANG", lang, 1);
    EXPECT_EQ(getCharsetCodeOfOS(), code) << lang;
    // Without the job option the job's code is the system's.
    auto job = makeJob("", "u", "");
    EXPECT_EQ(UaGetCharsetCode(job->get()), code) << lang;
  }
}

TEST_F(CharsetTest, AbsentOptionLatchesAndFallsBackToLang)
{
  setenv("LANG", "ko_KR.UTF-8", 1);
  auto job = makeJob("", "u", "x=1");
  err_no = 0;
  EXPECT_EQ(UaGetCharsetCode(job->get()), 13);
  EXPECT_EQ(err_no, ARVEX_ERR_NOOPTION);
}

TEST_F(CharsetTest, CodeFromOptionWinsAndUnknownCodesBecomeLatin1)
{
  setenv("LANG", "ja_JP.UTF-8", 1);
  const std::vector<std::pair<const char *, int>> table = {
      {"13", 13}, {"33", 33}, {"1", 1}, {"9", 9}, {"2", 2}, {"5", 2},  {"0", 2},
      {"34", 2},  {"-1", 2},  {"abc", 2}, {"' 9'", 9}, {"9x", 9}, {"4294967297", 2}};
  for (const auto &[value, code] : table) {
    auto job = makeJob("", "u", kAuthLanguage + value);
    EXPECT_EQ(UaGetCharsetCode(job->get()), code) << value;
  }
}

TEST_F(CharsetTest, CutKeepsWholeCharactersWithinTheLimit)
{
  char out[256];
  std::memset(out, 0, sizeof(out));
  const std::string ascii128(128, 'a');
  EXPECT_EQ(subUtf8StringOfMaxBytes(ascii128.c_str(), out, 128), 128);
  EXPECT_EQ(std::string(out), ascii128);

  std::memset(out, 0, sizeof(out));
  const std::string twoByteAtEnd = std::string(127, 'a') + "\xc3\xa9";
  EXPECT_EQ(subUtf8StringOfMaxBytes(twoByteAtEnd.c_str(), out, 128), 127);
  EXPECT_EQ(std::string(out), std::string(127, 'a'));

  std::string kana;
  for (int i = 0; i < 43; ++i)
    kana += "\xe3\x81\x82";  // HIRAGANA LETTER A, 3 bytes
  std::memset(out, 0, sizeof(out));
  EXPECT_EQ(subUtf8StringOfMaxBytes(kana.c_str(), out, 128), 126);
  EXPECT_EQ(std::string(out), kana.substr(0, 126));

  // Four-byte sequences: 32 of them fill 128 bytes exactly.
  std::string emoji;
  for (int i = 0; i < 33; ++i)
    emoji += "\xf0\x9f\x98\x80";
  std::memset(out, 0, sizeof(out));
  EXPECT_EQ(subUtf8StringOfMaxBytes(emoji.c_str(), out, 128), 128);
  EXPECT_EQ(std::string(out), emoji.substr(0, 128));

  EXPECT_EQ(subUtf8StringOfMaxBytes("abc", out, 0), 0);
  EXPECT_EQ(subUtf8StringOfMaxBytes("abc", out, -5), 0);
  EXPECT_EQ(subUtf8StringOfMaxBytes("", out, 128), 0);
  EXPECT_EQ(subUtf8StringOfMaxBytes(nullptr, out, 128), 0);
}

TEST_F(CharsetTest, CutOfBadLeadBytesCopiesNothing)
{
  char out[256];
  std::memset(out, 'z', sizeof(out));
  EXPECT_EQ(subUtf8StringOfMaxBytes("\x80" "abc", out, 128), 0);
  EXPECT_EQ(out[0], 'z');
  // The bad byte is reached as a lead byte after valid characters.
  EXPECT_EQ(subUtf8StringOfMaxBytes("abc\xfe" "def", out, 128), 0);
  EXPECT_EQ(subUtf8StringOfMaxBytes("ab\xc3\xa9\xa9", out, 128), 0);
  // Even the byte just past the limit is examined.
  const std::string past = std::string(128, 'a') + "\xff";
  EXPECT_EQ(subUtf8StringOfMaxBytes(past.c_str(), out, 128), 0);
  EXPECT_EQ(out[0], 'z');
  // Bytes beyond the first character that does not fit are not examined.
  const std::string after = std::string(127, 'a') + "\xc3\xa9\xff";
  EXPECT_EQ(subUtf8StringOfMaxBytes(after.c_str(), out, 128), 127);
}

TEST_F(CharsetTest, CutStopsBeforeASequenceTheTerminatorCutsShort)
{
  // A lead byte promising three bytes with only one left: the character is
  // left out and nothing is read past the terminator (a sanitizer would
  // report the heap copy's overrun).
  for (const std::string text : {"ab\xe3\x81", "ab\xe3", "\xf0\x9f\x98"}) {
    const std::string prefix = text.substr(0, text[0] == 'a' ? 2 : 0);
    char *copy = strdup(text.c_str());
    char out[16] = {};
    EXPECT_EQ(subUtf8StringOfMaxBytes(copy, out, 128), static_cast<int>(prefix.size()));
    EXPECT_EQ(std::string(out), prefix);
    free(copy);
  }
}

TEST_F(CharsetTest, ConversionMatchesIconv)
{
  const std::string japanese = "\xe5\xb1\xb1\xe7\x94\xb0 \xe3\x82\xbf\xe3\x83\xad\xe3\x82\xa6";  // 山田 タロウ
  const std::string chinese = "\xe7\x8e\x8b\xe5\xb0\x8f\xe6\x98\x8e";                               // 王小明
  const std::string korean = "\xea\xb9\x80\xec\xb2\xa0\xec\x88\x98";                                // 김철수
  const std::string latin = "Jos\xc3\xa9 M\xc3\xbcller";                                          // José Müller

  const Converted sjis = convertForCode("1", japanese.c_str());
  EXPECT_EQ(sjis.result, 0);
  EXPECT_EQ(sjis.bytes, iconvFromUtf8("SJIS", japanese));
  EXPECT_EQ(sjis.bytes.size(), 11u);

  EXPECT_EQ(convertForCode("9", chinese.c_str()).bytes, iconvFromUtf8("BIG5", chinese));
  EXPECT_EQ(convertForCode("13", korean.c_str()).bytes, iconvFromUtf8("EUC-KR", korean));
  EXPECT_EQ(convertForCode("2", latin.c_str()).bytes, iconvFromUtf8("ISO-8859-1", latin));
  EXPECT_EQ(convertForCode("2", latin.c_str()).bytes, "Jos\xe9 M\xfcller");
  // Unknown codes take the Latin-1 branch.
  EXPECT_EQ(convertForCode("7", latin.c_str()).bytes, iconvFromUtf8("ISO-8859-1", latin));

  // Code 33 passes UTF-8 through, only cut.
  const Converted utf8 = convertForCode("33", japanese.c_str(), 7);
  EXPECT_EQ(utf8.result, 0);
  EXPECT_EQ(utf8.bytes, japanese.substr(0, 7));
}

TEST_F(CharsetTest, TextIsCutBeforeItIsConverted)
{
  std::string names;
  for (int i = 0; i < 50; ++i)
    names += "\xe3\x83\x86";  // KATAKANA LETTER TE: 3 bytes in UTF-8, 2 in Shift JIS
  const Converted sjis = convertForCode("1", names.c_str());
  EXPECT_EQ(sjis.bytes, iconvFromUtf8("SJIS", names.substr(0, 126)));
  EXPECT_EQ(sjis.bytes.size(), 84u);
}

TEST_F(CharsetTest, ConversionStopsAtACharacterTheSetLacks)
{
  const std::string mixed = "caf\xc3\xa9\xe6\x97\xa5\xe6\x9c\xac zz";  // café日本 zz
  const Converted latin = convertForCode("2", mixed.c_str());
  EXPECT_EQ(latin.result, 0);
  EXPECT_EQ(latin.bytes, iconvFromUtf8("ISO-8859-1", "caf\xc3\xa9"));

  // Invalid UTF-8 stops the conversion where it starts.
  EXPECT_EQ(convertForCode("1", "ab\xc3(cd").bytes, iconvFromUtf8("SJIS", "ab"));
}

TEST_F(CharsetTest, EmptyTextLeavesTheOutputAlone)
{
  for (const char *code : {"1", "2", "9", "13"}) {
    EXPECT_EQ(convertForCode(code, "").result, -1) << code;
    EXPECT_EQ(convertForCode(code, nullptr).result, -1) << code;
    EXPECT_EQ(convertForCode(code, "\x80").bytes, "") << code;
  }
  EXPECT_EQ(convertForCode("33", nullptr).result, 0);
  char out[8] = {};
  EXPECT_EQ(convertUtf8ToShiftJis("", out, 8), -1);
  EXPECT_EQ(convertUtf8ToShiftJis(nullptr, out, 8), -1);
  EXPECT_EQ(out[0], '\0');
}

TEST_F(CharsetTest, OutputIsNeverWrittenPastItsSize)
{
  // 10 characters of 2 bytes each in Latin-1 would need 10 bytes; the
  // converter gets 4 and stops there.
  char out[12];
  std::memset(out, 'z', sizeof(out));
  EXPECT_EQ(convertUtf8ToWinLatin1("\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9", out, 4), 0);
  EXPECT_EQ(std::string(out, 5), "\xe9\xe9\xe9\xe9z");
  EXPECT_EQ(convertStrCode("UTF-8", "abc", "NO-SUCH-CHARSET", out, 4), -1);
}

TEST_F(CharsetTest, TextFromNewerSchedulersIsTakenAsItIs)
{
  setenv("SOFTWARE", "CUPS/2.4", 1);
  EXPECT_EQ(isValidTextFromCups("caf\xc3\xa9\t", 1, 3), 1);
  setenv("SOFTWARE", "CUPS/2.0", 1);
  EXPECT_EQ(isValidTextFromCups("caf\xc3\xa9", 0, 128), 0);
  EXPECT_EQ(isValidTextFromCups("cafe", 0, 128), 1);
  EXPECT_EQ(isValidTextFromCups("cafe", 0, 3), 0);
  unsetenv("SOFTWARE");
}

}  // namespace
