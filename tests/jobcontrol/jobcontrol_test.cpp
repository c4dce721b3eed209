// The job-control block and its fragments against golden files, the readers
// behind them, and the arvex-jobcontrol command.

#include <arvex/jobcontrol.h>
#include <arvex/numbering.h>

#include "arvex/test.h"

namespace {

using namespace arvex::test;

constexpr const char *kColour = "jobcontrol-colour.ppd", *kMono = "jobcontrol-mono.ppd", *kOdd = "jobcontrol-odd.ppd",
                     *kBare = "jobcontrol-bare.ppd";
#define ID PS "11AUserID=u042 " PS "11AEnableUserCode=TRUE " PS "11AUserCode=4711 " PS "11APassword=2468 " \
  PS "11AFileName=Minutes "
#define SC PS "SynchroCut."
#define SYNCHRO SC "Valid=On " SC "MarginTop=12mm " SC "MarginBottom=mm " SC "MarginLeft=' -7' AXRightMargin=Custom.33 " \
  SC "Position=Right " SC "ImageDirection=ShortEdgeFeed "
#define BALANCE PS "14AColorBalanceBrightness=+1 " PS "14AColorBalanceCyan=3 " PS "14AColorBalanceMagenta=-2 " \
  "AXContrast=Custom.2.5 AXBlack=Custom.-0.4 AXYellow=Custom.-2.5 "
#define BN PS "BackgroundNumbering."
#define NUMBERING BN "Valid=On " BN "Size=Large " BN "Density=VeryDark " BN "Color=Red " BN "StartNumber=0012 "
#define JT PS "11AJobType="
#define PA "AXPersonalAuthentication=True AXPAUserCode="
#define HEAD "host-information procedure-definitions "
#define BARE HEAD "normal-print-anonymous "

// The entries take a sample of the job data, whose line end they follow.
#define SAMPLED(entry) [](const JobInfo *job, InsertBuffer *out, const char *lf) { \
    const std::string sample = std::string("%!") + lf + "%%";                       \
    return entry(job, out, sample.c_str(), static_cast<int>(sample.size())); }
constexpr Writer kBlock = SAMPLED(getInsertString), kLogin = SAMPLED(getInsertComment),
                 kTarget = SAMPLED(getInsertCommentOfTargetDevice);
constexpr Writer kNumbering = [](const JobInfo *job, InsertBuffer *out, const char *lf) {
  getInsertStringForBackgroundNumbering(job, out, lf);
  return 0;
};

TEST(JobControl, Fragments)
{
  const WriterCase cases[] = {
      {getInsertStringForNormalPrint, kColour, ID, "normal-print"},
      {getInsertStringForNormalPrint, kColour, PS "11AUserID= " PS "11AUserCode=4711", "normal-print-anonymous"},
      {getInsertStringForLockedPrint, kColour, ID, "locked-print"},
      {getInsertStringForSamplePrint, kColour, ID, "sample-print"},
      {getInsertStringForDocumentServerPrint, kColour, ID PS "11AFolderNumber=17 " PS "11AFolderPassword=9753", "document-server"},
      {getInsertStringForDocumentServerPrint, kMono, ID PS "11AFolderNumber=17", "document-server-without-folders"},
      {getInsertStringForPausedPrint, kMono, ID, "hold-print"},
      {getInsertStringForPausedPrint, kColour, ID, "hold-print-unreserved"},
      {getInsertStringForPausedPrint, kColour, ID PS "11AEnableSpecifyTime=True " PS "11ASpecifyTime=2230", "hold-print-reserved"},
      {getInsertStringForPausedPrint, kColour, ID "AXEnableSpecifyTime=True AXTimeHour=Custom.22 AXTimeMin=Custom.30",
       "hold-print-reserved", 0, 6},
      {getInsertStringForSavedPrint, kColour, ID, "stored-print"},
      {getInsertStringForSavedPrint, kColour, "AXJobType=StoredPrint AXUserId=Custom.u042 AXEnableUserCode=True "
       "AXUserCode=Custom.4711 AXPassword=Custom.2468 AXFileName=Custom.Minutes", "stored-print", 0, 6},
      {getInsertStringForSav2Print, kColour, ID, "store-and-print"},
      // Without a user id only normal print is written.
      {getInsertStringForSamplePrint, kBare, "", "", 1, 6}, {getInsertStringForDocumentServerPrint, kBare, "", "", 1, 6},
      {getInsertStringForPausedPrint, kBare, "", "", 1, 6}, {getInsertStringForSavedPrint, kBare, "", "", 1, 6},
      {getInsertStringForSav2Print, kBare, "", "", 1, 6},
      {getInsertStringForSynchroCut, kColour, SYNCHRO, "synchro-cut"},
      {getInsertStringForSynchroCut, kColour, PS "SynchroCut.Valid=on AXSynchroCut=True", ""},
      {getInsertStringForColorBalance, kColour, BALANCE, "colour-balance", 0, 6},
      {getInsertStringForColorBalance, kMono, BALANCE, "colour-balance-monochrome", 0, 6},
      {kNumbering, kColour, NUMBERING, "background-numbering"}, {kNumbering, kOdd, "AXBackgroundNumbering=True", ""},
      {getInsertStringForFolderNumber, kMono, PS "11AFolderNumberSupport=TRUE AXFolderNumber=Custom.1234 "
       "AXFolderPassword=Custom.2468", "=\t\t/FolderNumber 123\n\t\t/FolderPassword (2468)\n", 0, 6, "\r\n"},
      {getInsertStringForFolderNumber, kColour, PS "11AFolderNumber=0042 " PS "11AFolderPassword=x",
       "=\t\t/FolderNumber 0042\n\t\t/FolderPassword (x)\n"},
      {getInsertStringForOutputBin, kColour, "", "colour-output-bin", 0, 6},
      {getInsertStringForOutputBin, kColour, "OutputBin=Upper", "=<</OutputType (Upper Tray)>> setpagedevice\n"},
      {getInsertStringForOutputBin, kColour, "OutputBin=Lower", "", 1},
      {getInsertStringForOutputBin, kColour, "OutputBin=" + std::string(300, 'c'), "", 1},
      {getInsertStringForBannerPage, kColour, "", "colour-banner-pages", 0, 6},
      {getInsertStringForBannerPage, kColour, "AXBannerPageInputSlot=Tray1 AXBannerPagePrint=True",
       "=<</BannerSlot 1>> setpagedevice\n<</BannerMedia (Auto)>> setpagedevice\n<</BannerPage true>> setpagedevice\n", 0, 6},
      {getInsertStringForBannerPage, kColour, "AXBannerPageMediaType=Plain", "=<</BannerSlot 0>> setpagedevice\n", 1, 6},
      {getInsertStringForBannerPage, kMono, "", "", 1, 6}, {getInsertStringForDrvMode, kColour, "x=y", "driver-mode-0"},
      {kBlock, "", "", BARE "copy-control-off", 0, 6, "\r"}, {kBlock, kOdd, "", BARE "copy-control-off", 0, 6},
      {kBlock, kMono, BALANCE, BARE "colour-balance-monochrome copy-control-off driver-mode-1", 0, 6},
      {kBlock, kColour, ID SYNCHRO NUMBERING BALANCE JT "'Locked Print'", HEAD "synchro-cut background-numbering "
       "locked-print colour-output-bin colour-banner-pages colour-balance copy-control-off driver-mode-0", 0, 6},
      {kBlock, "marking-bare.ppd", PS "CCPCopyControlType='Prevention Copy Pattern'", BARE "prevention-copy-pattern",
       0, 6, "\r\n"},
      {kBlock, "marking-bare.ppd", PS "CCPCopyControlType='Copy Guard' " PS "CCPEffect='Background Only' " PS
       "CCPFont='A%%B%d' " PS "CCPSize=48 " PS "CCPCustomText=101102 " PS "CCPAngle=45 " PS "CCPRepeat=Repeat " PS
       "CCPLineSpace=60", BARE "copy-guard", 0, 6},
      {kBlock, kBare, PS "CCPCopyControlType='Copy Guard'", BARE, 1, 6},
      {kBlock, kBare, JT "'Locked Print'", HEAD, 1, 6}, {kLogin, kColour, "x=y", ""},
      {kLogin, kColour, PS "PersonalAuthentication.Valid=TRUE " PS "PersonalAuthentication.UserID=bob%1",
       "=%%LOGINGID: bob%1\n", 0, 0, "\r\n"},
      {kLogin, kColour, PA "Custom.abcdefghij123", "=%%LOGINGID: abcdefghij123\n", 0, 6},
      {kLogin, kColour, PA "Custom.abcdefghij1234", "=%%LOGINGID: \n", 0, 6},
      {kLogin, kColour, PA "Custom.ab-1", "=%%LOGINGID: \n", 0, 6},
      {kLogin, kColour, PA "None", "=%%LOGINGID: \n", 0, 6},
      {kLogin, kColour, PS "PersonalAuthentication.Valid=on AXPersonalAuthentication=True", ""},
      {kLogin, kBare, PS "PersonalAuthentication.Valid=true", "", 1, 6},
      {getInsertStringForPersonalAuthentication, kBare, PS "PersonalAuthentication.Valid=true", "", 1, 6},
      {kTarget, kColour, "", "=%%TargetDevice: (Arvex JC Colour) (3010.106) 5\n", 0, 0, "\r"},
      {kTarget, kBare, "", "", 1, 1}, {kTarget, "", "", "", 1, 1},
  };
  expectWriters(cases);
}

// Missing arguments, and a block cut to the capacity: its front, terminated.
TEST(JobControl, Bounds)
{
  const TestJob job({kColour, "x=y"}), bare({kBare}), identified({kColour, ID});
  GuardedBuffer out(64), whole(8192);
  for (auto entry : {getInsertString, getInsertComment, getInsertCommentOfTargetDevice})
    for (auto [record, buffer] : {std::pair<const JobInfo *, InsertBuffer *>{nullptr, out.get()}, {job.get(), nullptr}}) {
      err_no = 0;
      const int result = entry(record, buffer, "", 0);
      EXPECT_EQ(result * 10 + err_no, 11);
    }
  for (Writer write : {getInsertStringForNormalPrint, getInsertStringForLockedPrint, getInsertStringForSamplePrint,
                       getInsertStringForDocumentServerPrint, getInsertStringForPausedPrint, getInsertStringForSavedPrint,
                       getInsertStringForSav2Print})
    EXPECT_EQ(shown(write(nullptr, out.get(), "\n"), write(identified.get(), nullptr, "\n"),
                    write(identified.get(), out.get(), nullptr)), "1|1|1");
  EXPECT_EQ(getInsertStringForFolderNumber(job.get(), out.get(), nullptr), 1);
  for (int missing = 0; missing < 6; ++missing)  // each argument in turn
    EXPECT_EQ(insertStringFromPPDCommand(missing == 0 ? nullptr : job.get(), missing == 1 ? nullptr : out.get(),
                                         missing == 2 ? nullptr : "\n", missing == 3 ? nullptr : "AXCMD",
                                         missing == 4 ? nullptr : "OutputBin", missing == 5 ? nullptr : "Default"), 1);
  EXPECT_EQ(out.text() + shown(isFolderNumberSupport(nullptr), PaGetFunctionValid(nullptr),
                               getInsertStringForColorBalance(nullptr, out.get(), "\n")), "0|0|0");
  EXPECT_STREQ(getValueFromPPD(job.get()->ppd, "AXCMDOutputBinDefault"), "<</OutputType (Default)>> setpagedevice");
  EXPECT_EQ(getValueFromPPD(job.get()->ppd, "AXCMDOutputBinLower"), getValueFromPPD(job.get()->ppd, nullptr));
  EXPECT_EQ(getValueFromPPD(nullptr, "Product"), nullptr);

  ASSERT_EQ(kBlock(bare.get(), whole.get(), "\r\n"), 0);
  const std::string full = whole.text();
  for (size_t capacity : {size_t{1}, size_t{2}, size_t{100}, full.size(), full.size() + 1, full.size() + 2}) {
    GuardedBuffer cut(capacity);
    EXPECT_EQ(kBlock(bare.get(), cut.get(), "\r\n"), 0);
    EXPECT_TRUE(cut.intact());
    EXPECT_EQ(normalised(cut.text()), normalised(full.substr(0, capacity - 1)));
  }
}

constexpr auto switches = ARVEX_READ(getJobType(job), getPPDJobType(job), useUserCode(job), isSpecifyTimeSupport(job),
                                     isSpecifyTimeEnable(job));
// User id, user code, password, file name, folder password, folder number, reserved time.
constexpr auto identity = ARVEX_READ(getPPDUserid(job), getPPDUserCode(job), getPPDPassword(job), getPPDFileName(job),
                                     getPPDFolderPassword(job), getPPDFolderNumber(job, work[0]), getPPDSpecifyTime(job, work[1]));
constexpr auto rounded = ARVEX_READ(getPPDOptionInt(job, "AXBrightness", work[0]), getPPDOptionInt(job, "AXContrast", work[1]),
                                    getPPDOptionInt(job, "AXBlack", work[2]), getPPDOptionInt(job, "AXCyan", work[3]),
                                    getPPDOptionInt(job, "AXMagenta", work[4]), getPPDOptionInt(job, "AXYellow", work[5]));
constexpr auto synchroCut = ARVEX_READ(ScGetSynchroCutValid(job), ScGetInformPrintingPosition(job), ScGetImageDirection(job),
                                       ScGetSynchroCutMarginValue(job, 0), ScGetSynchroCutMarginValue(job, 1),
                                       ScGetSynchroCutMarginValue(job, 2), ScGetSynchroCutMarginValue(job, 3),
                                       ScGetSynchroCutMarginValue(job, 4), ScGetSynchroCutMarginValue(job, 5));
constexpr auto numbering = ARVEX_READ(BnGetFunctionValid(job), BnGetSize(job), BnGetDensity(job), BnGetColor(job),
                                      BnGetStartNumber(job));

TEST(JobControl, Readers)
{
  const ReaderCase cases[] = {
      {kColour, JT "'Locked Print' AXJobType=DocServer", switches, "2|4|0|1|0"},
      {kColour, JT "'Sample Print'", switches, "3|1|0|1|0"}, {kColour, JT "'Document Server'", switches, "4|1|0|1|0"},
      {kColour, JT "'Paused Print'", switches, "5|1|0|1|0"}, {kColour, JT "'Saved Print'", switches, "6|1|0|1|0"},
      {kColour, JT "'Save Document Print'", switches, "7|1|0|1|0"}, {kColour, JT "'locked print'", switches, "1|1|0|1|0"},
      {kColour, JT "Express AXJobType=LockedPrint", switches, "1|2|0|1|0"},
      {kColour, "AXJobType=SamplePrint AXEnableUserCode=True", switches, "3|3|1|1|0"},
      {kColour, "AXJobType=DocServer AXEnableSpecifyTime=True", switches, "4|4|0|1|1"},
      {kColour, "AXJobType=HoldPrint " PS "11AEnableUserCode=yes AXEnableUserCode=True", switches, "5|5|0|1|0"},
      {kColour, "AXJobType=StoredPrint " PS "11ASpecifyTimeKeySupport=no", switches, "6|6|0|0|0"},
      {kColour, "AXJobType=StoreandPrint", switches, "7|7|0|1|0"}, {kColour, "", switches, "1|1|0|1|0"},
      {kOdd, "", switches, "1|1|0|1|0"}, {kMono, PS "11AEnableSpecifyTime=TRUE", switches, "1|1|0|0|1"},
      {kColour, "x=y", identity, "|||||0|0000"}, {kBare, "x=y", identity, "(null)|||||0|0000"},
      {kColour, "AXUserId=Custom.u042 AXUserCode=Custom.09000001 AXPassword=Custom.0900 AXFileName=Custom.AZaz09bcdefghijk "
       "AXFolderPassword=Custom.97531 AXFolderNumber=Custom.12 AXTimeHour=Custom.9 AXTimeMin=Custom.5", identity,
       "u042|09000001|0900|AZaz09bcdefghijk|97531|12|0905"},
      {kColour, "AXUserId=Custom.abcdefghi AXUserCode=Custom.123456789 AXPassword=Custom.123 AXFileName=Custom."
       "abcdefghijklmnopq AXFolderPassword=Custom.123456789 AXFolderNumber=Custom.1234 AXTimeHour=Custom.23 "
       "AXTimeMin=Custom.59", identity, "|||||123|2359"},
      {kColour, "AXUserId=Custom.ab-1 AXPassword=Custom.12a4 AXFileName=Custom.min_utes AXTimeHour=Custom.7", identity,
       "ab-1|||||0|0700"},
      {kColour, "AXJobType=LockedPrint AXUserId=Custom.'a b'", identity, "|||||0|0000"},
      {kOdd, "AXUserId=Custom.ab-1 AXUserCode=Custom.1234 AXFolderNumber=Custom.12 AXTimeHour=Custom.7 AXTimeMin=Custom.30",
       identity, "|||||0|0030"},
      {kMono, "AXUserId=Custom.ab-1", identity, "|||||0|0000"},
      {kOdd, "AXPAUserCode=Custom.99", ARVEX_READ(getPPDPaUserid(job)), "(null)"},
      {kColour, "AXBrightness=Custom.2.5 AXContrast=Custom.-2.5 AXBlack=Custom.2.44 AXCyan=Custom.-0.4 "
       "AXMagenta=Custom.9.96 AXYellow=Custom.-100", rounded, "3|-3|2|0|10|-10"},
      {kColour, "AXBrightness=Custom.99999999999 AXContrast=Custom.0", rounded, "100|0|0|0|0|0"},
      {kOdd, "AXBrightness=Custom.2 AXContrast=Custom.2", rounded, "0|2|0|0|0|0"},
      {kColour, "AXTopMargin=Custom.4 AXRightMargin=Custom.9", synchroCut, "false|0|0|0|4|0|0|9|0"},
      {kOdd, "AXTopMargin=Custom.4", synchroCut, "false|0|0|0|0|0|0|0|0"},
      {kColour, "AXSynchroCut=True AXPrintPosition=Center AXImageDirectionPriority=Portrait AXBottomMargin=Custom.3 "
       "AXLeftMargin=Custom.2", synchroCut, "true|1|1|0|0|3|2|0|0"},
      {kColour, PS "SynchroCut.Valid=Off " PS "SynchroCut.Position=center " PS "SynchroCut.ImageDirection=Portrait "
       "AXSynchroCut=True AXPrintPosition=Right AXImageDirectionPriority=Portrait", synchroCut, "false|0|0|0|0|0|0|0|0"},
      {kColour, "AXBackgroundNumbering=True", numbering, "true|1|1|0|1"}, {kColour, "x=y", numbering, "false|1|1|0|1"},
      {kColour, BN "Valid=On AXBackgroundNumbering=False", numbering, "true|1|1|0|1"},
      {kColour, BN "Valid=Off AXBackgroundNumbering=True", numbering, "false|1|1|0|1"},
      {kColour, BN "Valid=on", numbering, "false|1|1|0|1"}, {kBare, BN "Valid=On", numbering, "false|1|1|0|1"},
      {"", BN "Valid=On " BN "Color=Red", numbering, "false|1|1|0|1"},
      {kColour, "AXBNSize=Small AXBNDensity=Light AXBNColor=Blue AXStartNumber=Custom.500", numbering, "false|0|0|6|500"},
      {kColour, BN "Size=small " BN "Density='Very Dark' " BN "Color=Purple " BN "StartNumber=-3 AXBNSize=Large AXBNColor=Blue",
       numbering, "false|1|1|0|-3"},
      {kColour, BN "StartNumber=many AXStartNumber=Custom.500", numbering, "false|1|1|0|0"},
      {kColour, "AXBNDensity=Dark AXBNColor=Cyan", numbering, "false|1|2|1|1"},
      {kMono, BN "Color=Red", numbering, "false|1|1|0|1"}, {kOdd, "AXStartNumber=Custom.500", numbering, "false|1|1|0|1"},
  };
  expectReaders(cases);
  // Validators: empty texts, the extended characters, bytes outside ASCII, no text at all.
  EXPECT_EQ(shown(isValidUserID("", 0, 8, 0), isValidUserID("", 1, 8, 0), isValidUserCode(""), isValidPassword(""),
                  isValidFileName(""), isValidUserID("a-b.c/:_", 1, 8, 1), isValidUserID("ab\xc3\xa9", 0, 8, 1),
                  isValidUserID(nullptr, 0, 8, 1), isValidUserCode(nullptr), isValidPassword(nullptr), isValidFileName(nullptr)),
            "1|0|1|0|1|1|0|0|0|0|0");

  // The time stamp is the local time of the zone the job set.
  setenv("TZ", "XYZ-11", 1);
  const std::string before = utcStamp(11 * 3600, "%Y%m%d%H%M");
  char stamp[13];
  EXPECT_EQ(shown(getCurrentTime(stamp), getCurrentTime(nullptr)), "12|0");  // the length written
  EXPECT_TRUE(stamp == before || stamp == utcStamp(11 * 3600, "%Y%m%d%H%M")) << stamp;
  unsetenv("TZ");
}

// The arvex-jobcontrol command: arguments, PPD, line ends, exit status.
TEST(JobControl, PreviewCommand)
{
  const TempFile data("%!PS\r%%Pages: 1\r");
  const std::string colour = fixture(std::string("ppd/") + kColour), bare = fixture(std::string("ppd/") + kBare);
  const std::string usage = "arvex-jobcontrol: ", ok = "DEBUG: err_no=0\n", absent = "DEBUG: err_no=6\n";
  const struct {
    std::vector<std::string> args;
    std::string ppd;  // $PPD, unset when empty
    int exitCode;
    const char *out;  // as expectedText
    std::string err;  // standard error holds it
    const char *lf = "\r\n";
  } cases[] = {
      {{"--ppd", colour, "42", "alice", "t", "1", ID BALANCE}, "", 0,
       HEAD "normal-print colour-output-bin colour-banner-pages colour-balance copy-control-off driver-mode-0", absent},
      {{"42", "alice", "t", "1", JT "'Locked Print'"}, bare, 1, HEAD, absent},
      {{"--login-comment", "42", "alice", "t", "1", PS "PersonalAuthentication.Valid=True " PS
        "PersonalAuthentication.UserID=bob"}, colour, 0, "=%%LOGINGID: bob\n", ok},
      {{"--login-comment", "--ppd", colour, "42", "alice", "t", "1", "AXPersonalAuthentication=True"}, "", 0,
       "=%%LOGINGID: \n", absent},
      {{"--target-comment", "--ppd=" + colour, "42", "alice", "t", "1", "", data.path()}, "", 0,
       "=%%TargetDevice: (Arvex JC Colour) (3010.106) 5\n", ok, "\r"},
      {{"--target-comment", "--ppd", bare, "42", "alice", "t", "1", ""}, "", 1, "", "DEBUG: err_no=1\n"},
      {{"--ppd", "/nonexistent/queue.ppd", "42", "alice", "t", "1", ""}, "", 0, BARE "copy-control-off",
       "can't use PPD \"/nonexistent/queue.ppd\""},
      {{"--help"}, "", 0, "=  --target-comment  the \"%%TargetDevice:\" comment from the PPD's\n", "", "\n"},
      {{"42", "alice", "t", "1"}, "", 2, "", usage}, {{"42", "alice", "t", "1", "", "file", "extra"}, "", 2, "", usage},
      {{"--login-comment", "--target-comment", "42", "alice", "t", "1", ""}, "", 2, "", usage},
      {{"--frobnicate", "42", "alice", "t", "1", ""}, "", 2, "", usage},
      {{"42", "alice", "t", "1", "", "/nonexistent/job.ps"}, "", 2, "", usage},
      {{"--ppd"}, "", 2, "", "--ppd needs a file name"}, {{"--login-comment"}, "", 2, "", usage},
      {{"-", "alice", "t", "1", ""}, "", 0, BARE "copy-control-off", absent},
  };
  for (const auto &c : cases) {
    Command command{{built("arvex-jobcontrol")}, {c.ppd.empty() ? "PPD" : "PPD=" + c.ppd}, "%!PS\r\n%%"};
    command.argv.insert(command.argv.end(), c.args.begin(), c.args.end());
    const Child child = run(command);
    const std::string out = normalised(expectedText(c.out, c.lf));
    EXPECT_EQ(child.exitCode, c.exitCode) << c.args[0] << child.err;
    EXPECT_TRUE(c.args[0] == "--help" ? child.out.find(out) != std::string::npos : normalised(child.out) == out)
        << c.args[0] << ":\n" << child.out;
    EXPECT_NE(child.err.find(c.err), std::string::npos) << child.err;
  }
  // An output that can't be written.
  EXPECT_EQ(shell(built("arvex-jobcontrol") + " 42 alice t 1 '' </dev/null >/dev/full 2>&1; echo $?"), "2\n");
}

}  // namespace
