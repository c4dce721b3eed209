// Composition of escaped marking text to Normalization Form C. Expected
// composed bytes come from ICU's uconv or Python's unicodedata (the command
// is next to each value), never from the code under test.

#include <arvex/unicode.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "MarkingJob.h"
#include "Process.h"

namespace {

using arvex::test::escaped;

// Run the conversion over exactly text's bytes into an output of the given
// capacity, inside a larger block whose bytes past the capacity must stay
// untouched.
struct Converted {
  int result;
  std::string out;  // the capacity's bytes, NULs included
};

Converted convert(const std::string &text, size_t capacity, char fill = '\0')
{
  // A heap block of exactly the input's size: a read past it is caught by
  // AddressSanitizer.
  std::vector<char> in(text.begin(), text.end());
  std::vector<char> out(capacity + 16, fill);
  std::fill(out.begin() + static_cast<long>(capacity), out.end(), '#');
  const int result = convertUTF8MACtoUTF8(static_cast<int>(in.size()), in.data(), out.data(), capacity);
  EXPECT_EQ(std::string(out.begin() + static_cast<long>(capacity), out.end()), std::string(16, '#'))
      << "written past the capacity";
  return {result, std::string(out.begin(), out.begin() + static_cast<long>(capacity))};
}

// The text with the output's zero padding removed.
std::string composed(const std::string &text)
{
  const Converted c = convert(text, text.size() + 64);
  EXPECT_EQ(c.result, 1) << text;
  return c.out.substr(0, c.out.find('\0'));
}

TEST(Nfc, ComposesDecomposedRuns)
{
  // printf 'e\xcc\x81' | uconv -x nfc | od -An -to1        -> 303 251
  const std::string eAcute = "\\145\\314\\201";
  EXPECT_EQ(eAcute.size(), 12u);
  EXPECT_EQ(composed(eAcute), "\\303\\251");
  // printf '\xe3\x81\x8b\xe3\x82\x99' | uconv -x nfc | od -An -to1  -> 343 201 214
  EXPECT_EQ(composed("\\343\\201\\213\\343\\202\\231"), "\\343\\201\\214");
  // Two runs in one text, plain text between them.
  EXPECT_EQ(composed("A" + eAcute + " and " + eAcute + "!"), "A\\303\\251 and \\303\\251!");
  // printf 'o\xcc\x88\xcc\x81' | uconv -x nfc | od -An -to1  -> 303 266 314 201
  EXPECT_EQ(composed("\\157\\314\\210\\314\\201"), "\\303\\266\\314\\201");
}

TEST(Nfc, OnlyEscapeRunsAreComposed)
{
  // A literal base letter is not part of the run that follows it.
  EXPECT_EQ(composed("e\\314\\201"), "e\\314\\201");
  EXPECT_EQ(composed("plain text"), "plain text");
  // An escaped backslash before digits, and character escapes, pass as
  // they are.
  EXPECT_EQ(composed("\\\\101\\n\\("), "\\\\101\\n\\(");
  // Escapes of ASCII come back as escapes.
  EXPECT_EQ(composed("\\101\\102"), "\\101\\102");
}

TEST(Nfc, BrokenSequencesAndNulUnits)
{
  // A two-byte lead followed by a plain character: the lead is dropped.
  EXPECT_EQ(composed("\\303A"), "A");
  // A three-byte lead missing its last continuation.
  EXPECT_EQ(composed("\\343\\201B"), "B");
  // The byte 0 and a lone continuation 0x80 decode to the unit 0.
  EXPECT_EQ(composed("x\\000y"), "xy");
  EXPECT_EQ(composed("x\\200y"), "xy");
  // Any other lone continuation keeps its low seven bits: 0xBF -> 0x3F.
  EXPECT_EQ(composed("\\277"), "\\077");
  // An escape above 377 wraps: 0501 is 0x141 -> 0x41.
  EXPECT_EQ(composed("\\501"), "\\101");

  // An unpaired surrogate can't be composed: that run is lost, the rest
  // is converted, and the result reports the failure.
  const Converted c = convert("a\\355\\240\\200b", 32);
  EXPECT_EQ(c.result, -1);
  EXPECT_EQ(c.out.substr(0, c.out.find('\0')), "ab");
}

TEST(Nfc, ZeroPaddingOfAFullBufferComesBack)
{
  std::string text = "\\145\\314\\201";
  text.resize(1024, '\0');
  const Converted c = convert(text, 1024, 'Z');
  EXPECT_EQ(c.result, 1);
  EXPECT_EQ(c.out.substr(0, 8), "\\303\\251");
  // The 1016 bytes of padding that follow are copied as zeros; the last
  // four bytes of the output are not written.
  EXPECT_EQ(c.out.substr(8, 1012), std::string(1012, '\0'));
  EXPECT_EQ(c.out.substr(1020), "ZZZZ");
}

TEST(Nfc, LongerCompositionNeverOverruns)
{
  // printf '\xe0\xa5\x98' | uconv -x nfc | od -An -to1  -> 340 244 225 340 244 274
  const std::string qa = "\\340\\245\\230";
  const std::string expected = "\\340\\244\\225\\340\\244\\274";
  EXPECT_EQ(composed(qa), expected);

  // In an output no larger than the input the composed form does not fit.
  const Converted tight = convert(qa, qa.size());
  EXPECT_EQ(tight.result, -1);
  const Converted justEnough = convert(qa, expected.size());
  EXPECT_EQ(justEnough.result, 1);
  EXPECT_EQ(justEnough.out, expected);

  // A buffer full of them, padded to 1024 bytes.
  std::string full;
  while (full.size() + qa.size() <= 1024)
    full += qa;
  full.resize(1024, '\0');
  EXPECT_EQ(convert(full, 1024).result, -1);
}

TEST(Nfc, LookAheadStaysInsideTheInput)
{
  // Each input ends where the decoder would look further; the input block
  // has exactly these bytes.
  EXPECT_EQ(composed("ab\\"), "ab\\");
  EXPECT_EQ(composed("\\30"), "\\30");
  EXPECT_EQ(composed("\\303"), "");
  EXPECT_EQ(composed("\\343\\201"), "");
  // A continuation escape cut off by the end: its digits read as zero
  // bytes, (0 - '0') * 8 + (0 - '0') = -432, which is 16 modulo 64, so the
  // character is U+00D0 (UTF-8 C3 90).
  EXPECT_EQ(composed("\\303\\"), "\\303\\220");
  char out[4] = {};
  EXPECT_EQ(convertUTF8MACtoUTF8(0, "x", out, sizeof(out)), 1);
  EXPECT_EQ(convertUTF8MACtoUTF8(-3, "x", out, sizeof(out)), 1);
  EXPECT_EQ(convertUTF8MACtoUTF8(1, nullptr, out, sizeof(out)), -1);
  EXPECT_EQ(convertUTF8MACtoUTF8(1, "x", nullptr, 4), -1);
}

// NFC of a UTF-8 text according to Python's unicodedata.
std::string pythonNfc(const std::string &utf8)
{
  arvex::test::ProcessOptions run;
  run.argv = {"/usr/bin/python3", "-c",
              "import sys, unicodedata; "
              "sys.stdout.buffer.write(unicodedata.normalize('NFC', sys.stdin.buffer.read().decode()).encode())"};
  run.env = arvex::test::environmentWith({});
  run.input = utf8;
  const auto result = arvex::test::runProcess(run);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  return result.out;
}

TEST(Nfc, AgreesWithPythonOnAMixedText)
{
  // Latin, Greek, Hangul jamo, kana with both sound marks, the Angstrom and
  // Kelvin signs (singletons), stacked marks and an exclusion: all in the
  // Basic Multilingual Plane, where the decoder reads UTF-8 correctly.
  const std::string text = "Ame\xcc\x81lie \xce\xb1\xcc\x81 \xe1\x84\x80\xe1\x85\xa1\xe1\x86\xa8 "
                           "\xe3\x81\x8b\xe3\x82\x99\xe3\x81\xaf\xe3\x82\x9a \xe2\x84\xab \xe2\x84\xaa "
                           "o\xcc\x88\xcc\x81 A\xcc\x8a \xe0\xa5\x98 a\xcc\xa3\xcc\x87";
  const std::string expected = pythonNfc(text);
  ASSERT_FALSE(expected.empty());
  ASSERT_NE(expected, text);
  EXPECT_EQ(composed(escaped(text)), escaped(expected));
}

TEST(Nfc, NormaliserHonoursTheOutputCapacity)
{
  const uint16_t decomposed[] = {0x0065, 0x0301, 0x0041};
  uint16_t out[4] = {};
  int bytes = -1;
  ASSERT_EQ(normalizeUnicode(decomposed, sizeof(decomposed), out, sizeof(out), &bytes), 1);
  EXPECT_EQ(bytes, 4);
  EXPECT_EQ(out[0], 0x00E9);
  EXPECT_EQ(out[1], 0x0041);

  // U+0958 composes to two units; one unit of room is not enough.
  const uint16_t qa[] = {0x0958};
  uint16_t one[1] = {};
  EXPECT_EQ(normalizeUnicode(qa, sizeof(qa), one, sizeof(one), &bytes), -1);
  uint16_t two[2] = {};
  EXPECT_EQ(normalizeUnicode(qa, sizeof(qa), two, sizeof(two), &bytes), 1);
  EXPECT_EQ(two[0], 0x0915);
  EXPECT_EQ(two[1], 0x093C);

  const uint16_t lone[] = {0x0041, 0xDC00};
  EXPECT_EQ(normalizeUnicode(lone, sizeof(lone), out, sizeof(out), &bytes), -1);
  const uint16_t pair[] = {0xD83D, 0xDE00};
  EXPECT_EQ(normalizeUnicode(pair, sizeof(pair), out, sizeof(out), &bytes), 1);
  EXPECT_EQ(bytes, 4);
  EXPECT_EQ(normalizeUnicode(nullptr, 2, out, sizeof(out), &bytes), -1);
  EXPECT_EQ(normalizeUnicode(decomposed, sizeof(decomposed), nullptr, 8, &bytes), -1);
}

TEST(Nfc, UnitAndOctalHelpers)
{
  // printf 'é' | od -An -tx1 -> c3 a9;  printf 'あ' | od -An -tx1 -> e3 81 82
  char bytes[3] = {};
  EXPECT_EQ(convertUtf16ToUtf8(bytes, 0x0041), 1);
  EXPECT_EQ(bytes[0], 'A');
  EXPECT_EQ(convertUtf16ToUtf8(bytes, 0x00E9), 2);
  EXPECT_EQ(std::string(bytes, 2), "\xc3\xa9");
  EXPECT_EQ(convertUtf16ToUtf8(bytes, 0x3042), 3);
  EXPECT_EQ(std::string(bytes, 3), "\xe3\x81\x82");
  EXPECT_EQ(convertUtf16ToUtf8(bytes, 0), 0);
  EXPECT_EQ(convertUtf16ToUtf8(nullptr, 0x41), 0);

  const unsigned char e[] = {0xc3, 0xa9};
  const unsigned char a[] = {0xe3, 0x81, 0x82};
  EXPECT_EQ(convertUtf8toUtf16(e, 2), 0x00E9);
  EXPECT_EQ(convertUtf8toUtf16(a, 3), 0x3042);
  EXPECT_EQ(convertUtf8toUtf16(a, 4), 0);
  EXPECT_EQ(convertUtf8toUtf16(nullptr, 1), 0);

  char octal[3] = {'0', '0', '0'};
  EXPECT_EQ(convertOctalNotation(0xC3, octal), 3);
  EXPECT_EQ(std::string(octal, 3), "303");
  std::memcpy(octal, "000", 3);
  EXPECT_EQ(convertOctalNotation(8, octal), 2);
  EXPECT_EQ(std::string(octal, 3), "010");
  EXPECT_EQ(convertOctalNotation(0, octal), 0);
  EXPECT_EQ(convertOctalNotation(1, nullptr), -1);

  EXPECT_EQ(isUTF8ConvertTarget("\\101", 1), 1);
  EXPECT_EQ(isUTF8ConvertTarget("\\181", 1), 0);
  EXPECT_EQ(isUTF8ConvertTarget("\\10", 1), 0);
}

TEST(Nfc, EncodeTheTailAfterAMarker)
{
  char buf[32] = "(x)\\145\\314\\201";
  const int size = static_cast<int>(std::strlen(buf));
  int end = -1;
  ASSERT_EQ(encodeNFC("\\", buf, size, &end), 1);
  EXPECT_STREQ(buf, "(x)\\303\\251");
  EXPECT_EQ(end, 3 + 8);

  char absent[] = "no marker here";
  EXPECT_EQ(encodeNFC("#", absent, static_cast<int>(std::strlen(absent)), &end), 0);
  EXPECT_STREQ(absent, "no marker here");
  // The search ends before the last strlen(marker) bytes.
  char atEnd[] = "ab";
  EXPECT_EQ(encodeNFC("b", atEnd, 2, &end), 0);
  EXPECT_EQ(encodeNFC("abc", atEnd, 2, &end), 0);

  // A tail whose composed form is longer is left as it was.
  char longer[] = "=\\340\\245\\230";
  EXPECT_EQ(encodeNFC("=", longer, static_cast<int>(std::strlen(longer)), &end), 0);
  EXPECT_STREQ(longer, "=\\340\\245\\230");
}

}  // namespace
