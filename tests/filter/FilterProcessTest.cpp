// The filter as CUPS runs it: arguments, input, the PJL frame, the exact
// copy of the data, and the failure paths.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>

#include "JobFrame.h"
#include "Process.h"

namespace {

using arvex::test::kEnterPdf;
using arvex::test::kTrailer;
using arvex::test::kUel;
using arvex::test::ProcessOptions;
using arvex::test::ProcessResult;
using arvex::test::TempFile;


std::string header(const std::string &title, const std::string &user)
{
  return kUel + "@PJL JOB NAME=\"" + title + "\"\n@PJL SET USERNAME=\"" + user + "\"\n";
}

std::string wrapped(const std::string &title, const std::string &user, const std::string &data)
{
  return header(title, user) + kEnterPdf + data + kTrailer;
}

ProcessOptions filterRun(std::vector<std::string> args, std::string input = "")
{
  ProcessOptions options;
  options.argv = {arvex::test::buildPath("arvex-pdf-filter")};
  options.argv.insert(options.argv.end(), args.begin(), args.end());
  options.env = arvex::test::environmentWith({"PPD", "DEVICE_URI"});
  options.input = std::move(input);
  return options;
}

std::string randomBytes(size_t size, unsigned seed)
{
  std::mt19937 gen(seed);
  std::string data(size, '\0');
  for (auto &c : data)
    c = static_cast<char>(gen() & 0xff);
  return data;
}

const std::string kGeneralError = "ERROR: ERROR: error in CUPS Filter - : ";

TEST(FilterArguments, FewerThanSixPrintsUsage)
{
  const ProcessResult r = arvex::test::runProcess(filterRun({"1", "alice", "title", "1"}));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Usage: arvex-pdf-filter job-id user title copies options [file]\n");
}

TEST(FilterStream, SixArgumentsReadStandardInput)
{
  const ProcessResult r = arvex::test::runProcess(filterRun({"1", "alice", "Report", "1", ""}, "%PDF-1.4 body"));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, wrapped("Report", "alice", "%PDF-1.4 body"));
  EXPECT_EQ(r.err, "");
}

TEST(FilterStream, SeventhArgumentNamesTheFile)
{
  const std::string pdf = arvex::test::readFile(arvex::test::fixturePath("sample.pdf"));
  ASSERT_FALSE(pdf.empty());
  const ProcessResult r = arvex::test::runProcess(
      filterRun({"7", "bob", "Sample", "1", "", arvex::test::fixturePath("sample.pdf")}, "stdin is ignored"));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, wrapped("Sample", "bob", pdf));
}

TEST(FilterStream, EmptyInputStillGetsTheWholeFrame)
{
  const ProcessResult r = arvex::test::runProcess(filterRun({"1", "u", "t", "1", ""}));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, wrapped("t", "u", ""));
}

TEST(FilterStream, BlockSizedAndLargeInputsAreCopiedExactly)
{
  for (size_t size : {size_t{4095}, size_t{4096}, size_t{4097}, size_t{3 * 4096}, size_t{10} << 20}) {
    const std::string data = randomBytes(size, static_cast<unsigned>(size));
    const ProcessResult r = arvex::test::runProcess(filterRun({"1", "u", "t", "1", ""}, data));
    EXPECT_EQ(r.exitCode, 0) << size;
    ASSERT_EQ(r.out.size(), wrapped("t", "u", data).size()) << size;
    EXPECT_TRUE(r.out == wrapped("t", "u", data)) << "bytes differ for size " << size;
  }
}

TEST(FilterStream, LargeFileArgumentIsCopiedExactly)
{
  const std::string data = randomBytes(3 * 4096 + 17, 99);
  TempFile file(data);
  const ProcessResult r = arvex::test::runProcess(filterRun({"1", "u", "t", "1", "", file.path()}));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(r.out == wrapped("t", "u", data));
}

TEST(FilterFailure, MissingOrEmptyFileNameWritesNothing)
{
  for (const char *name : {"/nonexistent/job.pdf", ""}) {
    const ProcessResult r = arvex::test::runProcess(filterRun({"1", "u", "t", "1", "", name}, "data"));
    EXPECT_EQ(r.exitCode, 1) << name;
    EXPECT_EQ(r.out, "") << name;
    EXPECT_EQ(r.err, kGeneralError + "No such file or directory\n") << name;
  }
}

TEST(FilterFailure, UnreadableFileArgument)
{
  // A directory opens but cannot be read: the read error ends the job after
  // the header.
  const ProcessResult r = arvex::test::runProcess(filterRun({"1", "u", "t", "1", "", "/"}));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, header("t", "u") + kEnterPdf);
  EXPECT_EQ(r.err, kGeneralError + "Is a directory\n");
}

TEST(FilterFailure, ReaderClosingStandardOutputEndsTheJob)
{
  ProcessOptions options = filterRun({"1", "u", "t", "1", ""}, randomBytes(8 << 20, 5));
  options.closeStdoutAfter = 300000;
  options.timeLimit = std::chrono::milliseconds(20000);
  const ProcessResult r = arvex::test::runProcess(options);
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.termSignal, 0);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, kGeneralError + "Broken pipe\n");
}

TEST(FilterSignals, TermDuringASlowCopyExitsWithoutTrailer)
{
  ProcessOptions options = filterRun({"1", "u", "t", "1", ""}, randomBytes(1 << 20, 7));
  options.inputChunkDelay = std::chrono::milliseconds(20);
  options.inputChunkSize = 4096;
  options.signalAfter = {std::chrono::milliseconds(300), SIGTERM};
  options.timeLimit = std::chrono::milliseconds(20000);
  const ProcessResult r = arvex::test::runProcess(options);
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "");
  // What was copied before the signal is flushed; the trailer never comes.
  EXPECT_EQ(r.out.rfind(header("t", "u") + kEnterPdf, 0), 0u);
  EXPECT_GT(r.out.size(), (header("t", "u") + kEnterPdf).size());
  EXPECT_EQ(r.out.find("@PJL EOJ"), std::string::npos);
}

TEST(FilterBadInput, ControlAndNonUtf8BytesPassAsTheyStand)
{
  const std::string title = "a\x01\x7f\xff\xfe\"b\tc";
  const std::string user = "\xc3(\x80z";
  const ProcessResult r = arvex::test::runProcess(filterRun({"1", user, title, "1", ""}, "x"));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, wrapped(title, user, "x"));
}

TEST(FilterBadInput, OverlongTitleKeepsTheHeaderWellFormed)
{
  const std::string title(100 * 1024, 't');
  const ProcessResult r = arvex::test::runProcess(filterRun({"1", "user", title, "1", ""}, "x"));
  EXPECT_EQ(r.exitCode, 0);
  // 976 bytes are shared by title and user; the user name is kept whole.
  EXPECT_EQ(r.out, wrapped(std::string(972, 't'), "user", "x"));
}

TEST(FilterBadInput, OverlongTitleAndUserShareTheRoom)
{
  const std::string title(5000, 't'), user(3000, 'u');
  const ProcessResult r = arvex::test::runProcess(filterRun({"1", user, title, "1", ""}, "x"));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, wrapped(std::string(488, 't'), std::string(488, 'u'), "x"));
  const ProcessResult shortTitle = arvex::test::runProcess(filterRun({"1", user, "tt", "1", ""}, "x"));
  EXPECT_EQ(shortTitle.out, wrapped("tt", std::string(974, 'u'), "x"));
}

TEST(FilterBadInput, GarbageEmptyOrMissingPpdStillPrints)
{
  TempFile garbage(randomBytes(5000, 3));
  TempFile empty("");
  for (const std::string &ppd : {garbage.path(), empty.path(), std::string("/nonexistent.ppd")}) {
    ProcessOptions options = filterRun({"1", "u", "t", "2", "Duplex=DuplexNoTumble"}, "pdf");
    options.env = arvex::test::environmentWith({"PPD=" + ppd});
    const ProcessResult r = arvex::test::runProcess(options);
    EXPECT_EQ(r.exitCode, 0) << ppd;
    EXPECT_EQ(r.out, wrapped("t", "u", "pdf")) << ppd;
  }
}

TEST(FilterBadInput, LargeOptionsString)
{
  // The kernel limits one argument to 128 KiB; stay just below it.
  std::string options;
  while (options.size() < 120 * 1024)
    options += "k" + std::to_string(options.size()) + "='" + std::string(200, 'v') + " a l' ";
  const ProcessResult r = arvex::test::runProcess(filterRun({"1", "u", "t", "1", options}, "pdf"));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, wrapped("t", "u", "pdf"));
}

}  // namespace
