// The job-control block and its fragments against golden files, the readers
// behind them, and the arvex-jobcontrol command.

#include <arvex/jobcontrol.h>
#include <arvex/numbering.h>

#include "arvex/test.h"

namespace {

using namespace arvex::test;

constexpr const char *kColour = "jobcontrol-colour.ppd", *kBare = "jobcontrol-bare.ppd";
#define ID PS "11AUserID=u042 " PS "11AEnableUserCode=TRUE " PS "11AUserCode=4711 " PS "11APassword=2468 " \
  PS "11AFileName=Minutes "

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
  expectWriters("jobcontrol-fragments.txt",
                {{"normal", getInsertStringForNormalPrint}, {"locked", getInsertStringForLockedPrint},
                 {"sample", getInsertStringForSamplePrint}, {"server", getInsertStringForDocumentServerPrint},
                 {"paused", getInsertStringForPausedPrint}, {"saved", getInsertStringForSavedPrint},
                 {"save2", getInsertStringForSav2Print}, {"synchro cut", getInsertStringForSynchroCut},
                 {"balance", getInsertStringForColorBalance}, {"numbering", kNumbering},
                 {"folder", getInsertStringForFolderNumber}, {"output bin", getInsertStringForOutputBin},
                 {"banner", getInsertStringForBannerPage}, {"driver mode", getInsertStringForDrvMode},
                 {"block", kBlock}, {"login", kLogin}, {"target", kTarget},
                 {"personal authentication", getInsertStringForPersonalAuthentication}});
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
  const TestJob folders({"jobcontrol-mono.ppd", PS "11AFolderNumberSupport=TRUE"});
  EXPECT_EQ(shown(getInsertStringForFolderNumber(nullptr, out.get(), "\n"),
                  getInsertStringForFolderNumber(folders.get(), nullptr, "\n"),
                  getInsertStringForFolderNumber(folders.get(), out.get(), nullptr)), "1|1|1");
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

TEST(JobControl, Readers)
{
  expectReaders("jobcontrol-readers.txt", {
      {"switches", ARVEX_READ(getJobType(job), getPPDJobType(job), useUserCode(job), isSpecifyTimeSupport(job),
                              isSpecifyTimeEnable(job))},
      {"identity", ARVEX_READ(getPPDUserid(job), getPPDUserCode(job), getPPDPassword(job), getPPDFileName(job),
                              getPPDFolderPassword(job), getPPDFolderNumber(job, work[0]),
                              getPPDSpecifyTime(job, work[1]))},
      {"personal user id", ARVEX_READ(getPPDPaUserid(job))},
      {"rounded", ARVEX_READ(getPPDOptionInt(job, "AXBrightness", work[0]), getPPDOptionInt(job, "AXContrast", work[1]),
                             getPPDOptionInt(job, "AXBlack", work[2]), getPPDOptionInt(job, "AXCyan", work[3]),
                             getPPDOptionInt(job, "AXMagenta", work[4]), getPPDOptionInt(job, "AXYellow", work[5]))},
      {"synchro cut", ARVEX_READ(ScGetSynchroCutValid(job), ScGetInformPrintingPosition(job), ScGetImageDirection(job),
                                 ScGetSynchroCutMarginValue(job, 0), ScGetSynchroCutMarginValue(job, 1),
                                 ScGetSynchroCutMarginValue(job, 2), ScGetSynchroCutMarginValue(job, 3),
                                 ScGetSynchroCutMarginValue(job, 4), ScGetSynchroCutMarginValue(job, 5))},
      {"numbering", ARVEX_READ(BnGetFunctionValid(job), BnGetSize(job), BnGetDensity(job), BnGetColor(job),
                               BnGetStartNumber(job))}});
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

TEST(JobControl, PreviewCommand)
{
  for (const CaseRow &c : caseTable("preview.txt", 6)) {
    Command command{{built("arvex-jobcontrol")}, {c[1].empty() ? "PPD" : "PPD=" + c[1]}, "%!PS\r\n%%"};
    for (size_t at = 0, semicolon = 0; semicolon != std::string::npos; at = semicolon + 1) {
      semicolon = c[0].find(';', at);
      command.argv.push_back(trimmed(c[0].substr(at, semicolon - at)));
    }
    const Child child = run(command);
    const std::string out = normalised(expectedText(c[5], c.value(3, "\r\n")));
    EXPECT_EQ(child.exitCode, std::stoi(c[2])) << c.where << child.err;
    EXPECT_TRUE(c[0] == "--help" ? child.out.find(out) != std::string::npos : normalised(child.out) == out)
        << c.where << ":\n" << child.out;
    EXPECT_NE(child.err.find(c[4]), std::string::npos) << c.where << ": " << child.err;
  }
  // An output that can't be written.
  EXPECT_EQ(shell(built("arvex-jobcontrol") + " 42 alice t 1 '' </dev/null >/dev/full 2>&1; echo $?"), "2\n");
}

}  // namespace
