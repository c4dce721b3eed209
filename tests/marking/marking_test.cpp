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
#define TYPE(t) PS "CCPTextType='" t "' "
#define UN PS "CCPUserName="
#define JN PS "CCPJobName="
#define CC(t) " " PS "CCPCopyControlType='" t "'"
#define DIALOG PS "CCPCopyControlType='Prevention Copy Pattern' " PS "CCPColor=Cyan " PS "CCPDensity='Very Dark' " PS \
  "CCPMaskType='Interlocking Circles' " PS "CCPEffect='Reverse Patterns' " PS "CCPPosition='Center Top' " PS     \
  "CCPRepeat='Repeat and Rotate carriage return' "
#define CHOICES "AXPreventionType=CopyGuard AXColor=Magenta AXDensity=VeryLight AXMaskType=Hexagonal " \
  "AXEffects=TextOnly AXPosition=BottomRight AXRepeat=Repeat "
#define UNKNOWN PS "CCPCopyControlType=PreventionCopyPattern " PS "CCPColor=cyan " PS "CCPDensity=Medium " PS \
  "CCPMaskType=InterlockingCircles " PS "CCPEffect=ReversePatterns " PS "CCPPosition=TopCenter " PS "CCPRepeat=off "

std::string escaped(const std::string &bytes)  // every byte as a backslash and three octal digits
{
  std::string out;
  for (unsigned char b : bytes)
    out += {'\\', char('0' + (b >> 6)), char('0' + ((b >> 3) & 7)), char('0' + (b & 7))};
  return out;
}

// Type, colour, density, mask, effect (of Prevention Copy Pattern), position, repeat.
constexpr auto codes = ARVEX_READ(getCopyControlType(job), getCCPColor(job), getCCPDensity(job), getCCPMaskPattern(job),
                                  getCCPEffect(job, 2), getCCPPosition(job), getCCPRepeat(job));
// The effect for marking types 1, 2, 0 and 7; size, angle and line space from the PPD.
constexpr auto texts = ARVEX_READ(getCCPEffect(job, 1), getCCPEffect(job, 2), getCCPEffect(job, 0), getCCPEffect(job, 7),
                                  getPPDCCPSize(job, work[0]), getPPDCCPAngle(job, work[1]), getPPDCCPLinespace(job, work[2]));
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
  const EditedPpd mono(kSettings, {{"*ColorDevice", "*ColorDevice: False"}}),
      lower(kSettings, {{"*ColorDevice", "*ColorDevice: true"}});
  const std::string copy = "\\103\\117\\120\\131", cafe = "AXText=Custom.caf\xc3\xa9";
  constexpr auto font = ARVEX_READ(getPPDCCPFont(job));
  setenv("SOFTWARE", "CUPS/2.1", 1);
  const ReaderCase cases[] = {
      {kSettings, DIALOG CHOICES, codes, "2|1|5|5|2|1|2"}, {kSettings, CHOICES, codes, "1|2|1|10|4|6|1"},
      {kSettings, UNKNOWN CHOICES, codes, "0|0|3|0|0|3|0"}, {"", DIALOG, codes, "2|1|5|5|2|1|2"},
      {"", "x=y", codes, "0|0|3|0|0|3|0"}, {kDom, "x=y", codes, "0|0|3|0|0|3|0"},
      {kSettings, "AXPosition=TopCenter", codes, "0|0|3|0|0|1|0"},
      {kSettings, "AXPosition=BottomCenter", codes, "0|0|3|0|0|5|0"},
      {kSettings, PS "CCPPosition='Center Bottom'", codes, "0|0|3|0|0|5|0"},
      {mono.path().c_str(), "AXColor=Magenta", codes, "0|0|3|0|0|3|0"},
      {mono.path().c_str(), "AXColor=Magenta " PS "CCPColor=Magenta", codes, "0|2|3|0|0|3|0"},
      {lower.path().c_str(), "AXColor=Cyan", codes, "0|1|3|0|0|3|0"},
      {kSettings, "AXEffects=BackgroundOnly", texts, "1|3|0|0|70|30|70"},
      {"", PS "CCPEffect='Background Only'", texts, "1|3|0|0|70|30|70"}, {kSettings, "AXEffects=TextOnly " PS "CCPEffect=Off", texts, "0|0|0|0|70|30|70"},
      {kSettings, "AXSize=40 AXAngel=0 AXLineSpace=50", texts, "0|0|0|0|40|0|50"},
      {kSettings, "AXSize=Custom.1000 AXAngel=Custom.-5 AXLineSpace=Custom.7", texts, "0|0|0|0|100|-5|7"},
      {kSettings, "AXAngel=Custom.-45", texts, "0|0|0|0|70|-45|70"},
      {kDom, "AXFont=HeiseiMinW3", font, "HeiseiMin-W3-UniJIS-UTF8-H"},
      {kDom, "AXFont=HeiseiKakuGoW5", font, "HeiseiKakuGo-W5-UniJIS-UTF8-H"},
      {kDom, "AXFont=RyuminLight", font, "Ryumin-Light-UniJIS-UTF8-H"},
      {kDom, "AXFont=GothicBBBMedium", font, "GothicBBB-Medium-UniJIS-UTF8-H"},
      {kDom, "AXFont=HGHeiseiMinW3", font, "HGHeiseiMin-W3-UniJIS-UTF8-H"},
      {kDom, "AXFont=HGHeiseiKakuGoW5", font, "HGHeiseiKakuGo-W5-UniJIS-UTF8-H"},
      {kDom, "AXFont=Helvetica", font, "Helvetica-Bold"}, {kSettings, "AXFont=HeiseiMinW3", font, "Heisei Mincho W3"},
      {kSettings, "AXFont=Default", font, "ArialMT"}, {"jobcontrol-bare.ppd", "x=y", font, "(null)"},
      {"", "x=y", font, "(null)"},
      {kSettings, TYPE("LoginUserName") "AXTypeText=JobTime", ARVEX_READ(getCCPTextType(job)), "0"},
      {kSettings, "AXTypeText=LoginUserNameJobNameTime", ARVEX_READ(getCCPTextType(job)), "7"},
      // The marking text; the flag says whether the PPD or the job record gave part of it.
      {kSettings, CT "101102103", markingText, "0|\\101\\102\\103"},
      {kSettings, CT R"(\\101\\102\\103)", markingText, "0|\\101\\102\\103"},
      {kSettings, CT "10110", markingText, "0|\\101"}, {kSettings, CT "10", markingText, "0|"},
      {kSettings, CT + std::string(600, '7'), markingText, "0|" + repeat("\\777", 200)},
      {kSettings, TYPE("Login User Name + PrintJob Name + PrintJob Time") UN "carol " JN "101_102_103", markingText,
       "0|carol \\101\\102\\103 YYYY/MM/DD hh:mm"},
      {kSettings, TYPE("Login User Name + PrintJob Name + PrintJob Time") UN + std::string(43, 'z') + " " JN "101_102_103",
       markingText, "0|" + std::string(43, 'z') + " \\101\\102\\103 YYYY/MM/DD hh:mm"},
      {kSettings, TYPE("Login User Name + PrintJob Name") JN "101102103", markingText,
       "1|bob \\061\\060\\061\\061\\060\\062\\061\\060\\063", 0, "bob"},
      {kSettings, TYPE("Login User Name + PrintJob Name") JN "101102103 " UN "ann", markingText, "0|ann \\101\\102\\103"},
      {kSettings, "AXTypeText=JobName", markingText, "1|\\121\\063\\040\\045\\163\\040\\050\\144\\162\\141\\146\\164\\051",
       0, "bob", "Q3 %s (draft)"},
      {kSettings, TYPE("PrintJob Name"), markingText, "1|" + repeat("\\164", 64), 0, "bob", std::string(70, 't')},
      {kSettings, TYPE("PrintJob Name"), markingText, "1|" + repeat("\\164", 62), 1, "bob", std::string(62, 't') + "\xe3\x81\x82u"},
      {kSettings, TYPE("Login User Name + PrintJob Time") UN + std::string(64, 'u'), markingText, "0|" + std::string(64, 'u')},
      {kSettings, TYPE("Login User Name + PrintJob Time") UN + std::string(63, 'u'), markingText, "0|" + std::string(63, 'u') + " "},
      {kSettings, TYPE("Login User Name") UN + std::string(65, 'u'), markingText, "0|" + std::string(64, 'u')},
      {kSettings, TYPE("Login User Name + PrintJob Name") UN + std::string(61, 'u') + " " JN "101_102_103", markingText,
       "0|" + std::string(61, 'u') + " \\101\\102", 1},
      {kSettings, cafe + CC("Prevention Copy Pattern"), markingText, "1|" + copy},
      {kSettings, cafe + CC("Copy Guard"), markingText, "1|" + copy},
      {kSettings, cafe + CC("Off"), markingText, "1|\\143\\141\\146\\303\\251"},
      {kDom, cafe + CC("Prevention Copy Pattern"), markingText, "1|\\143\\141\\146\\303\\251"},
      {kSettings, "AXText=Confidential", markingText, "1|" + copy},
      {kSettings, "AXText=Custom." CC("Prevention Copy Pattern"), markingText, "1|" + copy},
      {kSettings, "AXText=Custom." CC("Copy Guard"), markingText, "1|"},
      {kDom, "AXText=Custom." CC("Prevention Copy Pattern"), markingText, "1|" + copy},
      {kDom, "AXText=Custom." CC("Copy Guard"), markingText, "1|"},
      {kSettings, "AXText=Custom." + std::string(65, 'x') + CC("Copy Guard"), markingText, "1|" + copy},
      {kSettings, "AXText=Custom." + std::string(64, 'x') + CC("Copy Guard"), markingText, "1|" + repeat("\\170", 64)},
      {"", "x=y", markingText, "0|"},
  };
  expectReaders(cases);
  char one[1] = {'x'};  // emptied even when nothing fits
  InsertBuffer tiny{one, 1, one};
  EXPECT_EQ(getCCPCustomText(TestJob({kSettings, CT "101"}).get(), &tiny), 0);
  EXPECT_EQ(one[0], '\0');
  setenv("SOFTWARE", "CUPS/2.0", 1);
  EXPECT_EQ(markingText(TestJob({kDom, cafe + CC("Prevention Copy Pattern")}).get()), "1|" + copy);
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

// Every word of the print dialog for each setting, in the order of their codes.
TEST(Marking, DialogWords)
{
  const struct {
    int (*read)(const JobInfo *);
    std::string key;
    std::vector<const char *> words;
    int first = 0;
    const char *ppd = "";
  } settings[] = {
      {getCopyControlType, "CCPCopyControlType", {"Off", "Copy Guard", "Prevention Copy Pattern"}},
      {getCCPColor, "CCPColor", {"Black", "Cyan", "Magenta"}},
      {getCCPDensity, "CCPDensity", {"Very Light", "Light", "Middle", "Dark", "Very Dark"}, 1},
      {getCCPMaskPattern, "CCPMaskType", {"None", "Wave Crest", "Mesh", "Lattice1", "Lattice2", "Interlocking Circles",
                                          "Shokkoh", "Matsukawabishi", "Scale", "Higaki", "Hexagonal"}},
      {getCCPPosition, "CCPPosition", {"Top Left", "Center Top", "Top Right", "Center", "Bottom Left", "Center Bottom",
                                       "Bottom Right"}},
      {getCCPRepeat, "CCPRepeat", {"Off", "Repeat", "Repeat and Rotate carriage return"}},
      {getCCPTextType, "CCPTextType", {"User Defined", "Login User Name", "PrintJob Name", "PrintJob Time",
                                       "Login User Name + PrintJob Name", "Login User Name + PrintJob Time",
                                       "PrintJob Name + PrintJob Time", "Login User Name + PrintJob Name + PrintJob Time"}},
      {BnGetSize, "BackgroundNumbering.Size", {"Small", "Normal", "Large"}},
      {BnGetDensity, "BackgroundNumbering.Density", {"Light", "Normal", "Dark", "VeryDark"}},
      {BnGetColor, "BackgroundNumbering.Color", {"Black", "Cyan", "Magenta", "Yellow", "Red", "Green", "Blue"}, 0,
       "jobcontrol-colour.ppd"},
  };
  for (const auto &s : settings)
    for (size_t i = 0; i < s.words.size(); ++i)
      EXPECT_EQ(s.read(TestJob({s.ppd, PS + s.key + "='" + s.words[i] + "'"}).get()), s.first + int(i)) << s.words[i];
}

#define HEISEI "*Font HeiseiMin-W3-H: JIS \"(003.000)\" JIS ROM\n"
#define RYUMIN "*Font Ryumin-Light-H: JIS \"(003.000)\" JIS ROM\n"
#define COURIER "*Font Courier: Standard \"(002.004S)\" Standard ROM\n"
#define FONTS(list) {"*Font", ""}, {"*Append fonts", list}
#define NOT_DOM {"*CCPDestination", ""}
#define ZOLPS_FONT {"*Append font attribute", "*AXZOLPSFont: True"}
#define INTERPRETER(choice) {"*Append interpreter", "*OpenUI *AXPostScript: PickOne\n*DefaultAXPostScript: " choice \
  "\n*AXPostScript Adobe: \"\"\n*AXPostScript ZOLPS: \"\"\n*CloseUI: *AXPostScript"}

// The DOM fixture lists a Heisei font, Courier and a Ryumin font.
TEST(Marking, DefaultFont)
{
  const struct {
    PpdEdits edits;
    const char *font, *options = "x=y";
  } cases[] = {
      {{}, "GothicBBB-Medium-UniJIS-UTF8-H"}, {{FONTS(HEISEI COURIER)}, "HeiseiKakuGo-W5-UniJIS-UTF8-H"},
      {{FONTS(RYUMIN HEISEI)}, "GothicBBB-Medium-UniJIS-UTF8-H"}, {{FONTS(COURIER)}, "ArialMT"}, {{FONTS("")}, "ArialMT"},
      {{FONTS(COURIER HEISEI RYUMIN)}, "HeiseiKakuGo-W5-UniJIS-UTF8-H"}, {{NOT_DOM}, "ArialMT"},
      {{NOT_DOM, INTERPRETER("ZOLPS")}, "NimbusSans-Bold", "AXPostScript=Adobe"},
      {{INTERPRETER("ZOLPS")}, "HGHeiseiKakuGo-W5-UniJIS-UTF8-H"}, {{NOT_DOM, ZOLPS_FONT}, "NimbusSans-Bold"},
      {{NOT_DOM, ZOLPS_FONT, INTERPRETER("Adobe")}, "ArialMT"},
      {{ZOLPS_FONT, INTERPRETER("Adobe")}, "GothicBBB-Medium-UniJIS-UTF8-H"},
  };
  for (const auto &c : cases) {
    const EditedPpd ppd(kDom, c.edits);
    EXPECT_STREQ(getDefaultFont(TestJob({ppd.path(), c.options}).get()), c.font) << readFile(ppd.path());
  }
}

TEST(Marking, Appends)
{
  const struct {
    int (*append)(const char *, InsertBuffer *, int);
    const char *text;
    int count, result;
    const char *appended;
  } cases[] = {
      {addJobName, "101_102_103", 62, -1, "\\101\\102"}, {addJobName, "101", 64, 64, ""}, {addJobName, "101", 63, 64, "\\101"},
      {addJobName, "101", -1, -1, ""}, {addJobName, "101", 70, 70, ""}, {addJobName, "__101___102_", 0, 2, "\\101\\102"},
      {addJobName, "\\101\\102_\\103", 10, 13, "\\101\\102\\103"}, {addJobName, "1011_12", 0, 1, "\\101"},
      {addJobName, "___", 5, 5, ""}, {addPPDUtf8Text, "x", 64, 64, ""}, {addPPDUtf8Text, "x", 65, -1, ""},
      {addPPDUtf8Text, "", 10, 10, ""}, {addPPDUtf8Text, "\xc3\xa9", 62, 64, "\\303\\251"},
      {addPPDUtf8Text, "\xc3\xa9", 63, -1, ""}, {addLiteralText, "x", 64, 64, ""}, {addLiteralText, "x", 65, -1, ""},
      {addLiteralText, "", 10, 10, ""}, {addLiteralText, "\xc3\xa9", 63, 64, "\xc3"},
  };
  for (const auto &c : cases) {
    char text[1025] = {};
    InsertBuffer buf{text, sizeof(text), text};
    EXPECT_EQ(c.append(c.text, &buf, c.count), c.result) << c.text << " at " << c.count;
    EXPECT_STREQ(text, c.appended) << c.text << " at " << c.count;
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
  GuardedBuffer out(capacity + 1);
  InsertBuffer *b = out.get();
  const int result = convertUTF8MACtoUTF8(static_cast<int>(text.size()), in.get(), b->start, capacity);
  b->cursor = b->start + strnlen(b->start, b->capacity);
  EXPECT_TRUE(out.intact());
  return shown(result) + "|" + out.text();
}

TEST(Marking, Nfc)
{
  // Expected bytes: printf '<UTF-8>' | uconv -x nfc | od -An -to1
  const std::string eAcute = "\\145\\314\\201", qa = "\\340\\245\\230";
  const std::pair<std::string, std::string> cases[] = {
      {eAcute, "1|\\303\\251"},                                 // e U+0301 -> 303 251
      {"\\343\\201\\213\\343\\202\\231", "1|\\343\\201\\214"},  // ka U+3099 -> 343 201 214
      {"A" + eAcute + " and " + eAcute + "!", "1|A\\303\\251 and \\303\\251!"},
      {"\\157\\314\\210\\314\\201", "1|\\303\\266\\314\\201"},  // o U+0308 U+0301 -> 303 266 314 201
      {qa, "1|\\340\\244\\225\\340\\244\\274"},                 // U+0958 -> 340 244 225 340 244 274
      {"e\\314\\201", "1|e\\314\\201"}, {"\\\\101\\n\\(", "1|\\\\101\\n\\("}, {"\\101\\102", "1|\\101\\102"},
      {"\\303A", "1|A"}, {"\\343\\201B", "1|B"}, {"x\\000y", "1|xy"}, {"x\\200y", "1|xy"}, {"\\277", "1|\\077"},
      {"\\501", "1|\\101"}, {"ab\\", "1|ab\\"}, {"\\30", "1|\\30"}, {"\\303", "1|"}, {"\\343\\201", "1|"},
      {"\\303\\", "1|\\303\\220"}, {"\\101\\101\\355\\260\\200x\\101\\355\\240\\200", "-1|x"}, {"a\\355\\240\\200b", "-1|ab"},
  };
  for (const auto &[text, expected] : cases)
    EXPECT_EQ(composed(text), expected) << text;
  // The composed text must fit the output.
  EXPECT_EQ(composed(qa, qa.size()), "-1|");
  EXPECT_EQ(composed("ab\\n", 2), "-1|ab");
  EXPECT_EQ(composed("abc", 2), "-1|ab");  // a plain byte past the room
  EXPECT_EQ(composed(qa, 24), "1|\\340\\244\\225\\340\\244\\274");
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

  const uint16_t decomposed[] = {0x0065, 0x0301, 0x0041}, exclusion[] = {0x0958}, lone[] = {0x0041, 0xDC00},
                 pair[] = {0xD83D, 0xDE00};
  uint16_t units[4] = {};
  int bytes = -1;
  EXPECT_EQ(normalizeUnicode(decomposed, sizeof(decomposed), units, sizeof(units), &bytes), 1);
  EXPECT_EQ(std::vector<int>({bytes, units[0], units[1]}), std::vector<int>({4, 0xE9, 0x41}));
  EXPECT_EQ(normalizeUnicode(exclusion, sizeof(exclusion), units, 2, &bytes), -1);
  EXPECT_EQ(normalizeUnicode(exclusion, sizeof(exclusion), units, 4, &bytes), 1);
  EXPECT_EQ(std::vector<int>({units[0], units[1]}), std::vector<int>({0x0915, 0x093C}));
  EXPECT_EQ(normalizeUnicode(lone, sizeof(lone), units, 8, &bytes), -1);
  EXPECT_EQ(normalizeUnicode(pair, sizeof(pair), units, 8, &bytes), 1);
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
  EXPECT_EQ(shown(isUTF8ConvertTarget("\\101", 1), isUTF8ConvertTarget("\\181", 1), isUTF8ConvertTarget("\\10", 1)), "1|0|0");

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
  const std::string at = PS "CCPPosition='Top Left' " PS "CCPAngle=", repeated = "0 AXLineSpace=Custom.120 " PS "CCPRepeat=";
  setenv("SOFTWARE", "CUPS/2.4.2", 1);
  const WriterCase cases[] = {
      {kPattern, kSettings, PS "CCPEffect='Text Only'", "|/StringEffect 4", 0, 6},
      {kPattern, kSettings, PS "CCPEffect='Text Only' " PS "CCPMaskType=Mesh", "|/MaskPattern 2|/StringEffect 0", 0, 6},
      {kGuard, kSettings, PS "CCPEffect='Text Only' " PS "CCPMaskType=Mesh", "|/StringEffect 4", 0, 6},
      {kPattern, kSettings, "AXColor=Magenta AXDensity=Dark", "|/MarkingColor 2|/MarkingDensity 4", 0, 6},
      {kPattern, kSettings, at + "0", "|/StringPosition 0|/StringAngle 0|/StringLoopAttributes null", 0, 6},
      {kGuard, kSettings, at + "0", "|/StringPosition 0|/StringAngle 0|/StringLoopAttributes null", 0, 6},
      {kPattern, kSettings, at + "00", "|/StringPosition 3|/StringAngle 00", 0, 6},
      {kGuard, kSettings, at + "0.0", "|/StringPosition 3|/StringAngle 0.0", 0, 6},
      {kGuard, kSettings, "AXAngel=0 AXPosition=BottomRight", "|/StringPosition 6", 0, 6},
      {kPattern, kSettings, "AXAngel=0 AXPosition=BottomRight", "|/StringPosition 6", 0, 6},
      {kPattern, kSettings, at + repeated + "Repeat", "|/StringPosition 3|/StringLoopAttributes <<|"
       "/StringLoopInterval 120|/StringLoopToggle false", 0, 6},
      {kGuard, kSettings, at + repeated + "'Repeat and Rotate carriage return'", "|/StringPosition 3|"
       "/StringLoopAttributes <<|/StringLoopInterval 120|/StringLoopToggle true", 0, 6},
      {kPattern, kBare, PS "CCPFont='Odd%d(Font)\\\\' " PS "CCPSize=%s " TYPE("Login User Name") PS
       "CCPUserName='50% (ann)'", "|/FontName (Odd%d(Font)\\)|/FontSize %s|/String (50% (ann))", 0, 6},
      {kGuard, kBare, CT "145314201101", "|/String (\\303\\251\\101)", 0, 6},
      {kPattern, kBare, CT "145314201101", "|/String (\\303\\251\\101)", 0, 6},
      {kPattern, kBare, CT "103", "|/String (\\103)", 0, 6},
      {kGuard, kDom, "AXText=Custom.e\xcc\x81", "|/String (\\145\\314\\201)", 0, 6},
      {kPattern, kSettings, "AXSize=Custom.1234 AXAngel=Custom.-30", "|/FontSize 123|/StringAngle -30|/FontName (ArialMT)", 0, 6},
      {kGuard, "", "x=y", "", 1, 6}, {kPattern, "", "x=y", "", 1, 6},
      {kGuard, "jobcontrol-bare.ppd", "x=y", "", 1, 6}, {kPattern, "jobcontrol-bare.ppd", "x=y", "", 1, 6},
  };
  expectWriters(cases);
  unsetenv("SOFTWARE");
  for (Writer write : {kGuard, kPattern}) {
    err_no = 0;
    EXPECT_EQ(write(TestJob({kBare, "x=y"}).get(), nullptr, "\n"), 1);
    EXPECT_EQ(err_no, ARVEX_ERR_WRITER);
  }
}

}  // namespace
