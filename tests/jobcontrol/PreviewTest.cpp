// The arvex-jobcontrol command, run as a separate process: each entry, the
// PPD from the environment or --ppd, line ends from a file or standard
// input, the error code on standard error and the exit status.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <unistd.h>
#include <vector>

#include "JobControlSupport.h"
#include "Process.h"

namespace {

using arvex::test::hostInformation;
using arvex::test::procedureDefinitions;
using arvex::test::ProcessResult;
using arvex::test::TempFile;

ProcessResult preview(const std::vector<std::string> &args, const std::string &input = "",
                      const std::vector<std::string> &env = {"PPD"})
{
  arvex::test::ProcessOptions options;
  options.argv = {arvex::test::buildPath("arvex-jobcontrol")};
  options.argv.insert(options.argv.end(), args.begin(), args.end());
  options.env = arvex::test::environmentWith(env);
  options.input = input;
  return arvex::test::runProcess(options);
}

std::string fixture(const char *name)
{
  return arvex::test::fixturePath(std::string("ppd/") + name);
}

TEST(PreviewTest, BuildsTheBlockWithTheJobsZoneHostAndLineEnds)
{
  char host[256] = {};
  gethostname(host, sizeof(host) - 1);
  const std::string hostName = std::string(host).substr(0, 63);

  // Eleven hours east of UTC, whatever the machine's zone.
  const auto stamp = [] {
    const time_t shifted = time(nullptr) + 11 * 3600;
    struct tm utc = {};
    gmtime_r(&shifted, &utc);
    char text[32] = {};
    std::strftime(text, sizeof(text), "%Y%m%d%H%M", &utc);
    return std::string(text);
  };
  const std::string before = stamp();
  const ProcessResult r = preview({"--ppd", fixture("jobcontrol-colour.ppd"), "42", "a-user-name-of-23-bytes",
                                   "title", "1",
                                   "com.arvex.printsettings.11ATimeZone=XYZ-11 com.arvex.printsettings.11AUserID=u5"},
                                  "%!PS\r\n%%Title: x\r\n");
  const std::string after = stamp();

  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "DEBUG: err_no=6\n");
  EXPECT_EQ(r.out.rfind(hostInformation("\r\n") + procedureDefinitions("\r\n"), 0), 0u);
  const std::string identity = "\t/JobInfo <<\t/UserID (u5)\r\n\t\t/UserCode ()\r\n\t\t/Time (";
  const std::string hostLines = ")\r\n\t\tisGenuine not isEnhancedFeatures or {\r\n"
                                "\t\t/HostLoginName (a-user-name-of-23-by)\r\n\t\t/HostName (" +
                                hostName + ")\r\n";
  EXPECT_TRUE(r.out.find(identity + before + hostLines) != std::string::npos ||
              r.out.find(identity + after + hostLines) != std::string::npos)
      << r.out;
  // The driver mode closes the block.
  const std::string end = "/+DrvMode 0 put } if \r\n} stopped cleartomark\r\n";
  ASSERT_GE(r.out.size(), end.size());
  EXPECT_EQ(r.out.substr(r.out.size() - end.size()), end);
}

TEST(PreviewTest, WritesWhatWasBuiltBeforeAFailure)
{
  const ProcessResult r = preview({"42", "alice", "title", "1", "com.arvex.printsettings.11AJobType='Locked Print'"},
                                  "", {"PPD=" + fixture("jobcontrol-bare.ppd")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, hostInformation("\n") + procedureDefinitions("\n"));
  EXPECT_EQ(r.err, "DEBUG: err_no=6\n");
}

TEST(PreviewTest, LoginComment)
{
  const ProcessResult on = preview({"--login-comment", "42", "alice", "title", "1",
                                    "com.arvex.printsettings.PersonalAuthentication.Valid=True "
                                    "com.arvex.printsettings.PersonalAuthentication.UserID=bob"},
                                   "", {"PPD=" + fixture("jobcontrol-colour.ppd")});
  EXPECT_EQ(on.exitCode, 0) << on.err;
  EXPECT_EQ(on.out, "%%LOGINGID: bob\n");
  EXPECT_EQ(on.err, "DEBUG: err_no=0\n");

  // On through the queue, but the queue has no user id to give.
  const ProcessResult none =
      preview({"--login-comment", "--ppd", fixture("jobcontrol-colour.ppd"), "42", "alice", "title", "1",
               "AXPersonalAuthentication=True"});
  EXPECT_EQ(none.exitCode, 0) << none.err;
  EXPECT_EQ(none.out, "%%LOGINGID: \n");
}

TEST(PreviewTest, TargetCommentTakesLineEndsFromTheFile)
{
  const TempFile data("%!PS\r%%Pages: 1\r");
  const ProcessResult r = preview(
      {"--target-comment", "--ppd=" + fixture("jobcontrol-colour.ppd"), "42", "alice", "title", "1", "", data.path()},
      "ignored\r\nbecause a file is named\r\n");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "%%TargetDevice: (Arvex JC Colour) (3010.106) 5\r");

  const ProcessResult bare =
      preview({"--target-comment", "--ppd", fixture("jobcontrol-bare.ppd"), "42", "alice", "title", "1", ""});
  EXPECT_EQ(bare.exitCode, 1);
  EXPECT_EQ(bare.out, "");
  EXPECT_EQ(bare.err, "DEBUG: err_no=1\n");
}

TEST(PreviewTest, HelpAndUsageErrors)
{
  const ProcessResult help = preview({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  for (const char *topic : {"Usage: arvex-jobcontrol", "--login-comment", "--target-comment", "--ppd FILE",
                            "DEBUG: err_no=N", "Exit status"})
    EXPECT_NE(help.out.find(topic), std::string::npos) << topic;

  const std::vector<std::vector<std::string>> wrong = {
      {"42", "alice", "title", "1"},
      {"42", "alice", "title", "1", "", "file", "extra"},
      {"--login-comment", "--target-comment", "42", "alice", "title", "1", ""},
      {"--frobnicate", "42", "alice", "title", "1", ""},
      {"42", "alice", "title", "1", "", "/nonexistent/job.ps"},
      {"--ppd"},
  };
  for (const auto &args : wrong) {
    const ProcessResult r = preview(args);
    EXPECT_EQ(r.exitCode, 2) << args[0] << " " << args.size();
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("arvex-jobcontrol: "), std::string::npos) << r.err;
  }
}

TEST(PreviewTest, UnreadablePPDIsReportedAndLeftOut)
{
  const ProcessResult r = preview({"--ppd", "/nonexistent/queue.ppd", "42", "alice", "title", "1", ""});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.err.find("can't use PPD \"/nonexistent/queue.ppd\""), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("DEBUG: err_no=6\n"), std::string::npos) << r.err;
}

}  // namespace
