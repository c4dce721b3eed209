// The PJL header that the filter writes for a queue's PPD and a job's
// options: the option commands, the host login name and the
// user-authentication block, byte for byte.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PjlTestSupport.h"
#include "JobFrame.h"
#include "Process.h"

namespace {

using arvex::test::kEnterPdf;
using arvex::test::kTrailer;
using arvex::test::kUel;
using arvex::test::editedFixture;
using arvex::test::fixturePath;
using arvex::test::opensslPassword;
using arvex::test::ProcessOptions;
using arvex::test::ProcessResult;
using arvex::test::TempFile;

const std::string kData = "%PDF-1.4 data";

const std::string kOptionsPpd = fixturePath("ppd/pjl-options.ppd");
const std::string kAuthPpd = fixturePath("ppd/pjl-userauth.ppd");
const std::string kNoGroupsPpd = fixturePath("ppd/pjl-nogroups.ppd");

const std::string kEnable = "com.arvex.printsettings.UserAuth.EnableUserAuth=";
const std::string kLoginName = "com.arvex.printsettings.UserAuth.LoginUserName=";

struct Run {
  std::string ppd;
  std::string user = "alice";
  std::string copies = "1";
  std::string options;
  std::string software = "CUPS/2.4.2";
};

ProcessOptions filterOptions(const Run &run, const std::string &data = kData)
{
  ProcessOptions options;
  options.argv = {arvex::test::buildPath("arvex-pdf-filter"), "12", run.user, "Report", run.copies, run.options};
  options.env = arvex::test::environmentWith({"PPD=" + run.ppd, "SOFTWARE=" + run.software, "LANG", "DEVICE_URI"});
  options.input = data;
  return options;
}

ProcessResult runFilter(const Run &run)
{
  return arvex::test::runProcess(filterOptions(run));
}

// What the filter writes around the PJL settings of the job.
std::string job(const std::string &user, const std::string &settings)
{
  return kUel + "@PJL JOB NAME=\"Report\"\n@PJL SET USERNAME=\"" + user + "\"\n" + settings + kEnterPdf + kData +
         kTrailer;
}

std::string hostLoginName(const std::string &user)
{
  return "@PJL SET HOSTLOGINNAME = \"" + user + "\"\n";
}

std::string fullBlock(const std::string &user, const std::string &password, int charset = 2)
{
  const std::string cs = std::to_string(charset);
  return "@PJL SET AUTHENTICATIONENCRYPTSETTING = 2\n@PJL SET AUTHENTICATIONENCRYPTMETHOD = 10\n"
         "@PJL SET AUTHENTICATIONUSERNAME = \"" +
         user + "\"\n@PJL SET AUTHENTICATIONUSERNAMECHARSET = " + cs + "\n@PJL SET AUTHENTICATIONPASSWORD = \"" +
         password + "\"\n@PJL SET AUTHENTICATIONPASSWORDCHARSET = " + cs + "\n";
}

std::string emptyUserBlock(int charset = 2)
{
  return "@PJL SET AUTHENTICATIONUSERNAME = \"\"\n@PJL SET AUTHENTICATIONUSERNAMECHARSET = " +
         std::to_string(charset) + "\n";
}

const std::string kDuplexOff = "@PJL SET DUPLEX=OFF\n";
const std::string kStapleOff = "@PJL SET STAPLE=OFF\n";

// The two settings of the authentication queue, each followed by a block,
// and the block once more.
std::string interleaved(const std::string &block)
{
  return kDuplexOff + block + kStapleOff + block + block;
}

TEST(FilterPjlOptions, CopiesWithoutCollation)
{
  const ProcessResult r = runFilter({.ppd = kOptionsPpd, .copies = "3", .options = "x=1"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, job("alice", "@PJL SET COLLATE=OFF\n@PJL SET COPIES=3\n" + kDuplexOff));
  EXPECT_EQ(r.err, "");
}

TEST(FilterPjlOptions, CollatedCopiesAndCustomValues)
{
  const ProcessResult r = runFilter(
      {.ppd = kOptionsPpd,
       .copies = "12",
       .options = "Collate=True Duplex=DuplexTumble AXJobComment='Custom.Q3 \"final\"' AXCopyLimit=Custom.40"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, job("alice", "@PJL SET COLLATE=ON\n@PJL SET QTY=12\n"
                                "@PJL SET DUPLEX=ON\n@PJL SET BINDING=SHORTEDGE\n"
                                "@PJL SET JOBCOMMENT=\"Q3 \"final\"\"\n"
                                "@PJL SET COPYLIMIT=\"40\"\n"));
}

TEST(FilterPjlOptions, NoJobOptionsMeansNothingIsMarked)
{
  const ProcessResult r = runFilter({.ppd = kOptionsPpd, .copies = "3", .options = ""});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, job("alice", ""));
}

TEST(FilterPjlOptions, LongCommandsAreWrittenWhole)
{
  // PPD lines are limited to 255 bytes; a long code spans several.
  std::string setting = "@PJL SET DUPLEX=OFF";
  for (int i = 0; i < 15; ++i)
    setting += "\n@PJL COMMENT " + std::string(200, 'x');
  TempFile ppd(editedFixture("pjl-options.ppd", "\"@PJL SET DUPLEX=OFF\"", "\"" + setting + "\""));
  const std::string comment(1500, 'c');
  const ProcessResult r =
      runFilter({.ppd = ppd.path(), .copies = "5", .options = "AXJobComment=Custom." + comment});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, job("alice", "@PJL SET COLLATE=OFF\n@PJL SET COPIES=5\n" + setting + "\n" +
                                    "@PJL SET JOBCOMMENT=\"" + comment + "\"\n"));
}

TEST(FilterUserAuth, BlockFollowsEveryCommandAndThePass)
{
  const std::string block = hostLoginName("alice") + fullBlock("alice", opensslPassword("alice", "", ""));
  const ProcessResult r = runFilter({.ppd = kAuthPpd, .options = "x=1"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, job("alice", interleaved(block)));
  EXPECT_EQ(r.err, "");
}

TEST(FilterUserAuth, OffMeansNoHostLoginNameAnywhere)
{
  // The options queue asks for the host login name but has no user
  // authentication; the authentication queue has it switched off.
  const ProcessResult options = runFilter({.ppd = kOptionsPpd, .options = "x=1"});
  EXPECT_EQ(options.exitCode, 0);
  EXPECT_EQ(options.err, "");
  EXPECT_EQ(options.out.find("HOSTLOGINNAME"), std::string::npos);

  const ProcessResult off = runFilter({.ppd = kAuthPpd, .options = "AXEnableUserAuth=False"});
  EXPECT_EQ(off.exitCode, 0);
  EXPECT_EQ(off.out, job("alice", kDuplexOff + kStapleOff));
}

TEST(FilterUserAuth, SupportMustBeLowerCaseTrue)
{
  TempFile ppd(editedFixture("pjl-userauth.ppd", "*AXUserAuthenticationSupport: \"true\"",
                             "*AXUserAuthenticationSupport: \"True\""));
  const ProcessResult r = runFilter({.ppd = ppd.path(), .options = kEnable + "true"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, job("alice", kDuplexOff + kStapleOff));
}

TEST(FilterUserAuth, EnableOptionDecidesAlone)
{
  const std::string block = hostLoginName("alice") + fullBlock("alice", opensslPassword("alice", "", ""));
  // The queue's default is on; the option overrides it either way.
  for (const char *on : {"TRUE", "true", "tRuE"}) {
    const ProcessResult r = runFilter({.ppd = kAuthPpd, .options = kEnable + on + " AXEnableUserAuth=False"});
    EXPECT_EQ(r.out, job("alice", interleaved(block))) << on;
  }
  for (const char *off : {"1", "yes", "on", ""}) {
    const ProcessResult r = runFilter({.ppd = kAuthPpd, .options = kEnable + "'" + off + "'"});
    EXPECT_EQ(r.exitCode, 0) << off;
    EXPECT_EQ(r.out, job("alice", kDuplexOff + kStapleOff)) << off;
  }
}

TEST(FilterUserAuth, LoginNameFromTheJobOption)
{
  // The key material still takes the queue's name: the filter user.
  const std::string block = hostLoginName("alice") + fullBlock("bob", opensslPassword("alice", "", ""));
  const ProcessResult r = runFilter({.ppd = kAuthPpd, .options = kLoginName + "bob"});
  EXPECT_EQ(r.out, job("alice", interleaved(block)));
}

TEST(FilterUserAuth, LoginNameFromTheDefinedUserId)
{
  const std::string block = hostLoginName("alice") + fullBlock("U-77", opensslPassword("U-77", "", "pw"));
  const ProcessResult r = runFilter({.ppd = kAuthPpd,
                                     .options = "AXAuthLoginUserNameType=DefinedUserID "
                                                "AXAuthLoginUserNameText=Custom.U-77 AXAuthLoginPassword=Custom.pw"});
  EXPECT_EQ(r.out, job("alice", interleaved(block)));
}

TEST(FilterUserAuth, NoDefinedUserIdGivesTheEmptyNameBlock)
{
  const std::string block = hostLoginName("alice") + emptyUserBlock();
  const ProcessResult r = runFilter({.ppd = kAuthPpd, .options = "AXAuthLoginUserNameType=DefinedUserID"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, job("alice", interleaved(block)));
}

TEST(FilterUserAuth, ReadyMadePasswordAndEncryptionKey)
{
  const std::string verbatim = "AbC+/d==";
  const ProcessResult ready = runFilter(
      {.ppd = kAuthPpd, .options = "com.arvex.printsettings.UserAuth.EncryptedPasswordAuth=" + verbatim});
  EXPECT_EQ(ready.out, job("alice", interleaved(hostLoginName("alice") + fullBlock("alice", verbatim))));

  const ProcessResult keyed = runFilter(
      {.ppd = kAuthPpd, .options = "AXAuthEnableEncryption=True AXAuthEncryptionKey=Custom.K-42 "
                                   "AXAuthLoginPassword=Custom.letmein"});
  const std::string block = hostLoginName("alice") + fullBlock("alice", opensslPassword("alice", "K-42", "letmein"));
  EXPECT_EQ(keyed.out, job("alice", interleaved(block)));
}

TEST(FilterUserAuth, QueueWithoutGroupsGetsOneBlock)
{
  const ProcessResult r = runFilter({.ppd = kNoGroupsPpd, .options = kEnable + "True " + kLoginName + "carol"});
  EXPECT_EQ(r.exitCode, 0);
  // The PPD gives an empty login user name, so the key is SHA-256 of nothing.
  EXPECT_EQ(r.out, job("alice", hostLoginName("alice") + fullBlock("carol", opensslPassword("", "", ""))));

  const ProcessResult off = runFilter({.ppd = kNoGroupsPpd, .options = "x=1"});
  EXPECT_EQ(off.out, job("alice", ""));
}

TEST(FilterUserAuth, CustomOptionWithoutParameterStillFlushes)
{
  const std::string option = "*JCLOpenUI *AXNoParam/No Parameter: PickOne\n"
                             "*OrderDependency: 20 JCLSetup *AXNoParam\n"
                             "*DefaultAXNoParam: None\n"
                             "*AXNoParam None/None: \"\"\n"
                             "*JCLCloseUI: *AXNoParam\n"
                             "*CustomAXNoParam True/Custom: \"@PJL SET NOPARAM=\\1\"\n";
  TempFile ppd(editedFixture("pjl-userauth.ppd", "*CloseGroup: Basic\n", option + "*CloseGroup: Basic\n"));
  const std::string block = hostLoginName("alice") + fullBlock("alice", opensslPassword("alice", "", ""));
  const ProcessResult r = runFilter({.ppd = ppd.path(), .options = "AXNoParam=Custom"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, job("alice", kDuplexOff + block + kStapleOff + block + block + block));
}

TEST(FilterBadInput, LongAndInvalidNames)
{
  // A 10 KiB login name is cut to 128 bytes.
  const std::string longName(10 * 1024, 'n');
  const ProcessResult cut = runFilter({.ppd = kAuthPpd, .options = kLoginName + longName});
  EXPECT_EQ(cut.out,
            job("alice", interleaved(hostLoginName("alice") +
                                     fullBlock(std::string(128, 'n'), opensslPassword("alice", "", "")))));

  // Invalid UTF-8 in every name and setting converts to nothing.
  const std::string bad = "\xff\xfe\xc3(";
  const ProcessResult broken =
      runFilter({.ppd = kAuthPpd,
                 .user = bad,
                 .options = kLoginName + "'" + bad + "' AXAuthLoginPassword='Custom." + bad +
                            "' AXAuthEnableEncryption=True AXAuthEncryptionKey='Custom." + bad + "'" +
                            " com.arvex.printsettings.UserAuth.AuthLanguage=1"});
  EXPECT_EQ(broken.exitCode, 0);
  EXPECT_EQ(broken.err, "");
  EXPECT_EQ(broken.out, job(bad, interleaved(hostLoginName(bad) + emptyUserBlock(1))));
}

TEST(FilterBadInput, HostLoginNameTooLongForTheBlockIsCutWhereTheBufferEnds)
{
  // The header shares its room between title and user; the block is cut
  // by the 4096-byte insertion buffer, 4095 bytes of text.
  const std::string user(5000, 'u');
  const ProcessResult r = runFilter({.ppd = kAuthPpd, .user = user, .options = "x=1"});
  EXPECT_EQ(r.exitCode, 0);
  const std::string cut = "@PJL SET HOSTLOGINNAME = \"" + std::string(4095 - 26, 'u');
  EXPECT_NE(r.out.find(cut + kStapleOff), std::string::npos);
  EXPECT_NE(r.out.find(cut + kEnterPdf), std::string::npos);
}

TEST(FilterFailure, BrokenPipeAfterAnOrdinaryLatchedCode)
{
  // User authentication off latches the general code first; the broken
  // pipe during the copy still ends the job with the general message.
  ProcessOptions options = filterOptions({.ppd = kOptionsPpd, .options = "x=1"}, std::string(8 << 20, 'd'));
  options.closeStdoutAfter = 300000;
  options.timeLimit = std::chrono::milliseconds(20000);
  const ProcessResult r = arvex::test::runProcess(options);
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.termSignal, 0);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "ERROR: ERROR: error in CUPS Filter - : Broken pipe\n");
}

}  // namespace
