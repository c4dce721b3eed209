// The login user name, the password field and the key text, read from the
// job options and the marked PPD settings of a queue with user
// authentication.

#include <arvex/error.h>
#include <arvex/textencoding.h>
#include <arvex/userauth.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "PjlTestSupport.h"
#include "Process.h"

namespace {

using arvex::test::editedFixture;
using arvex::test::fixturePath;
using arvex::test::iconvFromUtf8;
using arvex::test::makeJob;
using arvex::test::opensslPassword;
using arvex::test::TempFile;

const std::string kPpd = fixturePath("ppd/pjl-userauth.ppd");
const std::string kLoginOption = "com.arvex.printsettings.UserAuth.LoginUserName=";
const std::string kPasswordOption = "com.arvex.printsettings.UserAuth.EncryptedPasswordAuth=";
const std::string kDefinedUser = "AXAuthLoginUserNameType=DefinedUserID ";

class UserAuthTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    err_no = 0;
    unsetenv("LANG");
    setenv("SOFTWARE", "CUPS/2.4.2", 1);
  }
  void TearDown() override { unsetenv("SOFTWARE"); }
};

std::string loginName(const JobInfo *job, int *result = nullptr)
{
  char out[256] = {};
  const int r = UaGetLoginUserName(job, out, sizeof(out));
  if (result)
    *result = r;
  return out;
}

std::string password(const JobInfo *job, int size = 256)
{
  char out[512] = {};
  EXPECT_EQ(UaGetPassword(job, out, size), 0);
  return out;
}

TEST_F(UserAuthTest, KeyTextCountsOnlyWithEncryptionSwitchedOn)
{
  const std::string key = " !Printable~ASCII key of 32 b}es";
  ASSERT_EQ(key.size(), 32u);
  const std::string keyOption = "AXAuthEncryptionKey='Custom." + key + "'";

  auto off = makeJob(kPpd, "alice", "AXAuthEnableEncryption=False " + keyOption);
  EXPECT_STREQ(getPPEncryptionKeyText(off->get()), key.c_str());
  EXPECT_STREQ(getPPEncryptionKey(off->get()), "");
  EXPECT_EQ(password(off->get()), opensslPassword("alice", "", ""));

  auto on = makeJob(kPpd, "alice", "AXAuthEnableEncryption=True " + keyOption);
  EXPECT_STREQ(getPPEncryptionKey(on->get()), key.c_str());
  EXPECT_EQ(password(on->get()), opensslPassword("alice", key, ""));

  // The choice keyword is compared in any letter case.
  TempFile upper(editedFixture("pjl-userauth.ppd", "AXAuthEnableEncryption True/", "AXAuthEnableEncryption TRUE/"));
  auto shouting = makeJob(upper.path(), "alice", "AXAuthEnableEncryption=TRUE " + keyOption);
  EXPECT_EQ(getPPDEncryptionValid(shouting->get()), 1);
  EXPECT_EQ(password(shouting->get()), opensslPassword("alice", key, ""));
}

TEST_F(UserAuthTest, UnusableKeyTextsAreReplacedByTheEmptyText)
{
  for (const std::string &bad : {std::string(33, 'k'), std::string("ab\tcd"), std::string("cl\xc3\xa9"),
                                std::string("del\x7f")}) {
    auto job = makeJob(kPpd, "alice", "AXAuthEnableEncryption=True AXAuthEncryptionKey='Custom." + bad + "'");
    ASSERT_EQ(getPPDChoice(job->get(), "AXAuthEncryptionKey"), ARVEX_CHOICE_CUSTOM);
    EXPECT_STREQ(getPPEncryptionKeyText(job->get()), "") << bad;
    // The password is still encrypted, under the user name alone.
    EXPECT_EQ(password(job->get()), opensslPassword("alice", "", "")) << bad;
  }
  EXPECT_EQ(isValidEncryptionKey(nullptr), 1);
  EXPECT_EQ(isValidEncryptionKey(""), 0);
}

TEST_F(UserAuthTest, PasswordOfTheQueueIsEncrypted)
{
  auto job = makeJob(kPpd, "alice", "AXAuthLoginPassword=Custom.s3cr3t");
  EXPECT_STREQ(getPPDAuthenticationPasswordText(job->get()), "s3cr3t");
  EXPECT_EQ(password(job->get()), opensslPassword("alice", "", "s3cr3t"));

  // Marked "Custom" without a value: no password to encrypt, the field
  // stays empty.
  auto noValue = makeJob(kPpd, "alice", "AXAuthLoginPassword=Custom");
  EXPECT_EQ(password(noValue->get()), "");
}

TEST_F(UserAuthTest, OlderSchedulersRefuseUncheckedPasswords)
{
  const std::string accented = "p\xc3\xa4ss";
  const std::string tooLong(129, 'p');
  setenv("SOFTWARE", "CUPS/2.0", 1);
  for (const std::string &text : {accented, tooLong}) {
    auto job = makeJob(kPpd, "alice", "AXAuthLoginPassword='Custom." + text + "'");
    EXPECT_STREQ(getPPDAuthenticationPasswordText(job->get()), "");
    EXPECT_EQ(password(job->get()), opensslPassword("alice", "", ""));
  }
  // A newer scheduler passes both; the password is converted and cut to 128.
  setenv("SOFTWARE", "CUPS/2.2", 1);
  auto job = makeJob(kPpd, "alice", "AXAuthLoginPassword='Custom." + accented + "'");
  EXPECT_EQ(password(job->get()), opensslPassword("alice", "", iconvFromUtf8("ISO-8859-1", accented)));
  auto longJob = makeJob(kPpd, "alice", "AXAuthLoginPassword='Custom." + std::string(200, 'p') + "'");
  EXPECT_EQ(password(longJob->get()), opensslPassword("alice", "", std::string(128, 'p')));
}

TEST_F(UserAuthTest, ShiftJisBytesEnterKeyAndCipher)
{
  const std::string user = "\xe5\xb1\xb1\xe7\x94\xb0";        // 山田
  const std::string secret = "\xe3\x83\x91\xe3\x82\xb9\x31";  // パス1
  auto job = makeJob(kPpd, user,
                     "com.arvex.printsettings.UserAuth.AuthLanguage=1 AXAuthLoginPassword='Custom." + secret + "'");
  const std::string expected = opensslPassword(iconvFromUtf8("SJIS", user), "", iconvFromUtf8("SJIS", secret));
  EXPECT_EQ(password(job->get()), expected);
  EXPECT_NE(expected, opensslPassword(user, "", secret));
  EXPECT_EQ(loginName(job->get()), iconvFromUtf8("SJIS", user));
}

TEST_F(UserAuthTest, LoginNameOptionWithoutAQueueName)
{
  // With no PPD name the password goes out empty next to the option's name.
  auto none = makeJob(kPpd, "alice", kDefinedUser + kLoginOption + "bob");
  EXPECT_EQ(loginName(none->get()), "bob");
  EXPECT_EQ(getPPDLoginUserName(none->get()), nullptr);
  EXPECT_EQ(password(none->get()), "");
}

TEST_F(UserAuthTest, LoginNameFromTheQueueSettings)
{
  auto filterUser = makeJob(kPpd, "Jos\xc3\xa9", "x=1");
  EXPECT_EQ(loginName(filterUser->get()), "Jos\xe9");

  int result = 0;
  auto none = makeJob(kPpd, "alice", kDefinedUser + "AXAuthLoginUserNameText=None");
  EXPECT_EQ(getPPDLoginUserNameText(none->get()), nullptr);
  EXPECT_EQ(loginName(none->get(), &result), "");
  EXPECT_EQ(result, -1);
}

TEST_F(UserAuthTest, DefinedUserIdOnOlderAndNewerSchedulers)
{
  const std::string accented = "Ren\xc3\xa9";
  const std::string long129(129, 'u');
  setenv("SOFTWARE", "CUPS/1.7.5", 1);
  for (const std::string &id : {accented, long129}) {
    int result = 0;
    auto job = makeJob(kPpd, "alice", kDefinedUser + "AXAuthLoginUserNameText='Custom." + id + "'");
    EXPECT_EQ(loginName(job->get(), &result), "");
    EXPECT_EQ(result, -1);
  }
  auto ascii = makeJob(kPpd, "alice", kDefinedUser + "AXAuthLoginUserNameText=Custom." + std::string(128, 'u'));
  EXPECT_EQ(loginName(ascii->get()), std::string(128, 'u'));

  setenv("SOFTWARE", "CUPS/2.1", 1);
  auto accentedJob = makeJob(kPpd, "alice", kDefinedUser + "AXAuthLoginUserNameText='Custom." + accented + "'");
  EXPECT_EQ(loginName(accentedJob->get()), "Ren\xe9");
  auto longJob = makeJob(kPpd, "alice", kDefinedUser + "AXAuthLoginUserNameText=Custom." + long129);
  EXPECT_EQ(loginName(longJob->get()), std::string(128, 'u'));
}

TEST_F(UserAuthTest, VeryLongAndBrokenLoginNames)
{
  auto huge = makeJob(kPpd, "alice", kLoginOption + std::string(10 * 1024, 'n'));
  EXPECT_EQ(loginName(huge->get()), std::string(128, 'n'));

  // A small output lowers the cut so the name stays terminated.
  char small[9] = {};
  EXPECT_EQ(UaGetLoginUserName(huge->get(), small, sizeof(small)), 0);
  EXPECT_EQ(std::string(small), std::string(8, 'n'));

  // Invalid UTF-8 converts to nothing; the name is found but empty.
  int result = -1;
  auto broken = makeJob(kPpd, "alice", kLoginOption + "'\xff\xfe" "abc'");
  EXPECT_EQ(loginName(broken->get(), &result), "");
  EXPECT_EQ(result, 0);
}

TEST_F(UserAuthTest, ReadyMadePasswordIsCopiedAndKeptTerminated)
{
  auto job = makeJob(kPpd, "alice", kPasswordOption + "'q+Z/9==" + "'");
  EXPECT_EQ(password(job->get()), "q+Z/9==");

  // 300 bytes do not fit the 256-byte field: 255 are kept.
  const std::string longValue(300, 'P');
  auto longJob = makeJob(kPpd, "alice", kPasswordOption + longValue);
  char out[300];
  std::memset(out, 'z', sizeof(out));
  EXPECT_EQ(UaGetPassword(longJob->get(), out, 256), 0);
  EXPECT_EQ(std::string(out), std::string(255, 'P'));
  EXPECT_EQ(out[256], 'z');

  EXPECT_EQ(UaGetPassword(longJob->get(), nullptr, 256), 0);
  EXPECT_EQ(UaGetPassword(longJob->get(), out, -1), 0);
}

}  // namespace
