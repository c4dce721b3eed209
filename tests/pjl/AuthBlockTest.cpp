// The authentication block as it is appended to an insertion buffer, and
// the PJL text of single option choices.

#include <arvex/error.h>
#include <arvex/pjl.h>
#include <arvex/userauth.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "PjlTestSupport.h"
#include "Process.h"

namespace {

using arvex::test::editedFixture;
using arvex::test::fixturePath;
using arvex::test::makeJob;
using arvex::test::opensslPassword;
using arvex::test::TempFile;

const std::string kAuthPpd = fixturePath("ppd/pjl-userauth.ppd");
const std::string kOptionsPpd = fixturePath("ppd/pjl-options.ppd");

// An insertion buffer over its own storage.
struct Insertion {
  explicit Insertion(size_t size) : storage(size, '\0'), buf{storage.data(), size, storage.data()} {}
  std::string text() const { return storage.data(); }
  std::vector<char> storage;
  InsertBuffer buf;
};

// The full block with each newline written as lf.
std::string fullBlock(const std::string &lf, const std::string &user, int charset, const std::string &password)
{
  const std::string cs = std::to_string(charset);
  return "@PJL SET AUTHENTICATIONENCRYPTSETTING = 2" + lf + "@PJL SET AUTHENTICATIONENCRYPTMETHOD = 10" + lf +
         "@PJL SET AUTHENTICATIONUSERNAME = \"" + user + "\"" + lf + "@PJL SET AUTHENTICATIONUSERNAMECHARSET = " + cs +
         lf + "@PJL SET AUTHENTICATIONPASSWORD = \"" + password + "\"" + lf +
         "@PJL SET AUTHENTICATIONPASSWORDCHARSET = " + cs + lf;
}

class AuthBlockTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    err_no = 0;
    unsetenv("LANG");
    setenv("SOFTWARE", "CUPS/2.4.2", 1);
  }
  void TearDown() override
  {
    unsetenv("LANG");
    unsetenv("SOFTWARE");
  }
};

TEST_F(AuthBlockTest, LinesEndLikeTheSampleAndCarryOneCharsetCode)
{
  setenv("LANG", "ja_JP.UTF-8", 1);
  auto job = makeJob(kAuthPpd, "alice", "x=1");
  Insertion insertion(4096);
  const char sample[] = "%PDF-1.4\r\n%\xe2\xe3\r\n";
  EXPECT_EQ(getInsertPJL(job->get(), &insertion.buf, sample, sizeof(sample) - 1), 0);
  EXPECT_EQ(insertion.text(), "@PJL SET HOSTLOGINNAME = \"alice\"\r\n" +
                                  fullBlock("\r\n", "alice", 1, opensslPassword("alice", "", "")));
  EXPECT_EQ(insertion.buf.cursor, insertion.buf.start + insertion.text().size());
}

TEST_F(AuthBlockTest, DeclinedBlockLatchesOne)
{
  auto job = makeJob(kAuthPpd, "alice", "com.arvex.printsettings.UserAuth.EnableUserAuth=false");
  Insertion insertion(4096);
  EXPECT_EQ(getInsertPJL(job->get(), &insertion.buf, nullptr, 0), 1);
  EXPECT_EQ(err_no, ARVEX_ERR_WRITER);
  // The host login name was appended, but the flush will not send it alone.
  EXPECT_EQ(insertion.text(), "@PJL SET HOSTLOGINNAME = \"alice\"\n");

  err_no = 0;
  EXPECT_EQ(getInsertPJL(nullptr, &insertion.buf, nullptr, 0), 1);
  EXPECT_EQ(err_no, ARVEX_ERR_WRITER);
  err_no = 0;
  EXPECT_EQ(getInsertPJL(job->get(), nullptr, nullptr, 0), 1);
  EXPECT_EQ(err_no, ARVEX_ERR_WRITER);
}

TEST_F(AuthBlockTest, BlockThatDoesNotFitIsCutWhereTheRoomEnds)
{
  // A user name that leaves no room for the rest of the block.
  const std::string user(4000, 'u');
  // Every setting comes from the job, so the only code latched is the block's.
  auto job = makeJob(kAuthPpd, user,
                     "com.arvex.printsettings.UserAuth.EnableUserAuth=true "
                     "com.arvex.printsettings.UserAuth.LoginUserName=u "
                     "com.arvex.printsettings.UserAuth.EncryptedPasswordAuth=p "
                     "com.arvex.printsettings.UserAuth.AuthLanguage=2");
  Insertion insertion(4096);
  lfsprintf("\n", &insertion.buf, "kept\n");
  EXPECT_EQ(getInsertPJL(job->get(), &insertion.buf, nullptr, 0), 0);
  EXPECT_EQ(err_no, 0);
  const std::string expected = "kept\n@PJL SET HOSTLOGINNAME = \"" + user + "\"\n@PJL SET AUTHENTICATIONENCRYPTSETTING = 2\n";
  EXPECT_EQ(insertion.text().substr(0, expected.size()), expected);
  EXPECT_EQ(insertion.text().size(), 4095u);
  EXPECT_EQ(insertion.buf.cursor, insertion.buf.start + 4095);

  // A long name that still leaves room goes out whole.
  const std::string longUser(3000, 'v');
  auto fits = makeJob(kAuthPpd, longUser, "x=1");
  Insertion roomy(4096);
  EXPECT_EQ(getInsertPJL(fits->get(), &roomy.buf, nullptr, 0), 0);
  EXPECT_EQ(roomy.text().find("@PJL SET HOSTLOGINNAME = \"" + longUser + "\"\n"), 0u);
}

// PJL text of one option, read through a buffer of the reported length.
std::string optionCommand(const JobInfo *job, const char *keyword, const char *copies = "1")
{
  const size_t length = getPJLOptionCommand(job, keyword, copies, nullptr, 0);
  std::vector<char> out(length + 1, 'z');
  EXPECT_EQ(getPJLOptionCommand(job, keyword, copies, out.data(), out.size()), length);
  return out.data();
}

TEST_F(AuthBlockTest, CustomValuesOfEveryParameterType)
{
  auto job = makeJob(kOptionsPpd, "u",
                     "AXJobComment='Custom.two words' AXCopyLimit=Custom.250 AXDensity=Custom.2.5");
  EXPECT_EQ(optionCommand(job->get(), "AXJobComment"), "@PJL SET JOBCOMMENT=\"two words\"\n");
  EXPECT_EQ(optionCommand(job->get(), "AXCopyLimit"), "@PJL SET COPYLIMIT=\"250\"\n");
  EXPECT_EQ(optionCommand(job->get(), "AXDensity"), "@PJL SET DENSITY=\"2.5\"\n");

  // Marked "Custom" without a value: the quotes stay empty.
  auto empty = makeJob(kOptionsPpd, "u", "AXJobComment=Custom");
  EXPECT_EQ(optionCommand(empty->get(), "AXJobComment"), "@PJL SET JOBCOMMENT=\"\"\n");

  // Choices without a PJL command, and unknown options, give nothing.
  EXPECT_EQ(optionCommand(job->get(), "AXSmoothing"), "");
  EXPECT_EQ(optionCommand(job->get(), "NoSuchOption"), "");
  EXPECT_EQ(getPJLOptionCommand(nullptr, "Duplex", "1", nullptr, 0), 0u);
}

TEST_F(AuthBlockTest, CustomOptionWithoutParameterGivesNothing)
{
  TempFile ppd(editedFixture("pjl-options.ppd", "*ParamCustomAXCopyLimit Limit/Limit: 1 int 1 9999\n", ""));
  auto job = makeJob(ppd.path(), "u", "AXCopyLimit=Custom");
  ASSERT_EQ(getPPDChoice(job->get(), "AXCopyLimit"), ARVEX_CHOICE_CUSTOM);
  EXPECT_EQ(optionCommand(job->get(), "AXCopyLimit"), "");
}

TEST_F(AuthBlockTest, LongCommandsAreKeptWhole)
{
  // A custom-value code far over 124 bytes and copies far over 1023.
  const std::string longName(200, 'J');
  TempFile ppd(editedFixture("pjl-options.ppd", "@PJL SET JOBCOMMENT=", "@PJL SET " + longName + "="));
  auto job = makeJob(ppd.path(), "u", "AXJobComment=Custom." + std::string(900, 'c'));
  EXPECT_EQ(optionCommand(job->get(), "AXJobComment"),
            "@PJL SET " + longName + "=\"" + std::string(900, 'c') + "\"\n");
  const std::string copies(1100, '9');
  const std::string expected = "@PJL SET COLLATE=OFF\n@PJL SET COPIES=" + copies + "\n";
  EXPECT_EQ(optionCommand(job->get(), "Collate", copies.c_str()), expected);

  // A buffer that is too small receives a terminated prefix and learns the
  // length it needs.
  char small[8];
  std::memset(small, 'z', sizeof(small));
  EXPECT_EQ(getPJLOptionCommand(job->get(), "Collate", copies.c_str(), small, sizeof(small)), expected.size());
  EXPECT_EQ(std::string(small), "@PJL SE");
}

}  // namespace
