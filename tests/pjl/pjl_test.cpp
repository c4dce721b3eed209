// User authentication and the PJL settings of a job: the device character set (against iconv), the password cipher
// (against openssl), the login user name and password field, the authentication block and the option pass.

#include <arvex/error.h>
#include <arvex/pjl.h>
#include <arvex/textencoding.h>
#include <arvex/userauth.h>

#include "arvex/test.h"
#include "option_pass.h"

#include <cstdlib>

namespace {

using namespace arvex::test;

#define UA PS "UserAuth."
const std::string kLanguage = UA "AuthLanguage=", kLogin = UA "LoginUserName=", kReady = UA "EncryptedPasswordAuth=";

// The password as openssl encrypts it: AES-256-CBC, key SHA-256 of user name and key text, IV the key's first 16
// bytes, in Base64.
std::string aes(const std::string &user, const std::string &key, const std::string &password)
{
  const std::string digest = shell("openssl dgst -sha256 -r", user + key).substr(0, 64);
  return shell("openssl enc -aes-256-cbc -K " + digest + " -iv " + digest.substr(0, 32) + " -base64 -A", password);
}

std::string iconv(const std::string &charset, const std::string &text)
{ return shell("iconv -f UTF-8 -t " + charset + " 2>/dev/null", text); }

struct Pjl : testing::Test {
  void SetUp() override { setenv("SOFTWARE", "CUPS/2.4.2", 1), unsetenv("LANG"); }
};

TEST_F(Pjl, CharsetCodeFromTheOptionElseFromLang)
{
  for (const CaseRow &c : caseTable("pjl.txt#charset", 3)) {
    c[0].empty() ? unsetenv("LANG") : setenv("LANG", c[0].c_str(), 1);
    EXPECT_EQ(UaGetCharsetCode(TestJob({.options = c[1]}).get()), std::stoi(c[2])) << c.where;
    EXPECT_EQ(err_no, c[1].empty() ? ARVEX_ERR_NOOPTION : 0) << c.where;
  }
}

TEST_F(Pjl, Utf8CutAtTheLimit)
{
  for (const CaseRow &c : caseTable("pjl.txt#utf8 cut", 3)) {
    char *copy = strdup(c[0].c_str());  // exact size: AddressSanitizer sees an over-read
    const size_t count = std::stoul(c[2]);
    std::string out(256, 'z');
    EXPECT_EQ(subUtf8StringOfMaxBytes(copy, out.data(), std::stoi(c[1])), static_cast<int>(count)) << c.where;
    EXPECT_EQ(out, c[0].substr(0, count) + std::string(256 - count, 'z')) << c.where;
    std::free(copy);
  }
  EXPECT_EQ(subUtf8StringOfMaxBytes("abc", nullptr, 128), 3);  // counted, not copied
}

TEST_F(Pjl, ConversionAgainstIconv)
{
  for (const CaseRow &c : caseTable("pjl.txt#conversion", 6)) {
    const int limit = std::stoi(c[2]);
    std::vector<char> out(static_cast<size_t>(limit) + 8, '\0');
    EXPECT_EQ(convertUtf8ToLocal(TestJob({.options = kLanguage + c[0]}).get(), c[1].c_str(), out.data(), limit),
              std::stoi(c[5])) << c.where;
    EXPECT_EQ(std::string(out.data()), iconv(c[3], c[1].substr(0, c[4].empty() ? std::string::npos : std::stoul(c[4]))))
        << c.where;
  }
  std::string out(12, 'z');
  EXPECT_EQ(convertUtf8ToWinLatin1(repeat("\xc3\xa9", 6).c_str(), out.data(), 4), 0);
  EXPECT_EQ(out, "\xe9\xe9\xe9\xe9" + std::string(8, 'z'));
  EXPECT_EQ(shown(convertStrCode(nullptr, "a", "UTF-8", out.data(), 4), convertStrCode("UTF-8", nullptr, "UTF-8", out.data(), 4),
                  convertStrCode("UTF-8", "a", nullptr, out.data(), 4), convertStrCode("UTF-8", "a", "UTF-8", nullptr, 4),
                  convertStrCode("UTF-8", "b", "ISO-8859-1", out.data(), 1)), "-1|-1|-1|-1|0");
  EXPECT_EQ(out[0], 'b');  // a room of one byte takes one
  EXPECT_EQ(shown(convertStrCode("UTF-8", "abc", "NO-SUCH-CHARSET", out.data(), 4),
                  convertUtf8ToShiftJis(nullptr, out.data(), 4), isValidTextFromCups("caf\xc3\xa9\t", 1, 3)),
            "-1|-1|1");  // newer schedulers: unchecked
  setenv("SOFTWARE", "CUPS/2.0", 1);
  EXPECT_EQ(shown(isValidTextFromCups("caf\xc3\xa9", 0, 128), isValidTextFromCups("cafe", 0, 128)), "0|1");
}

TEST_F(Pjl, CipherAgainstOpenssl)
{
  for (const CaseRow &c : caseTable("pjl.txt#cipher", 4)) {
    std::string out(256, 'z');
    EXPECT_EQ(exchangeAES256Cipher(c[0].c_str(), c[2].c_str(), c[1].c_str(), out.data(), 256), std::stoi(c[3])) << c.where;
    EXPECT_EQ(out.c_str(), aes(c[0], c[1], c[2])) << c.where;
  }
  std::string out(25, 'z');
  EXPECT_EQ(exchangeAES256Cipher("alice", "0123456789abcdef", "", out.data(), 45), 46);  // too small: not written
  EXPECT_EQ(out, std::string(25, 'z'));
  EXPECT_EQ(shown(exchangeAES256Cipher("alice", "", "", nullptr, 0), exchangeAES256Cipher("alice", "", "", out.data(), 25)),
            "25|25");
  EXPECT_EQ(out.c_str(), aes("alice", "", ""));
}

TEST_F(Pjl, UserAuthenticationInForce)
{
  for (const CaseRow &c : caseTable("pjl.txt#in force", 3))
    EXPECT_EQ(UaGetFunctionValid(TestJob({c[0], c[1]}).get()), std::stoi(c[2])) << c.where;
  EXPECT_EQ(UaGetFunctionValid(nullptr), 0);
}

TEST_F(Pjl, LoginUserNameAndPasswordField)
{
  for (const CaseRow &c : caseTable("pjl.txt#login", 9)) {
    setenv("SOFTWARE", c.value(7, "CUPS/2.4.2").c_str(), 1);
    TestJob job({.ppd = c.value(8, "pjl-userauth.ppd"), .options = c[0], .user = c.value(6, JobSpec{}.user)});
    char login[256] = {};
    GuardedBuffer password(256);
    EXPECT_EQ(UaGetLoginUserName(job.get(), login, sizeof(login)), c[1] == "(none)" ? -1 : 0) << c.where;
    EXPECT_EQ(login, c[1] == "(none)" ? "" : c[1]) << c.where;
    EXPECT_EQ(UaGetPassword(job.get(), password.get()->start, 256), 0);
    EXPECT_EQ(password.text(), c[2].empty() ? c[5] : aes(c[2], c[3], c[4])) << c.where;
    EXPECT_TRUE(password.guarded()) << c.where;
  }
  const std::string key = " !Printable~ASCII key of 32 b}es", keyText = " AXAuthEncryptionKey='Custom." + key + "'";
  TestJob job({.ppd = "pjl-userauth.ppd", .options = "AXAuthEnableEncryption=False" + keyText + " " + kLogin + repeat("n", 200)});
  EXPECT_EQ(getPPEncryptionKeyText(job.get()), key);  // read, though not used
  char small[9] = {};
  GuardedBuffer exact(128);  // an output of 128 bytes lowers the cut to 127
  EXPECT_EQ(UaGetLoginUserName(job.get(), exact.get()->start, 128), 0);
  EXPECT_TRUE(exact.text() == repeat("n", 127) && exact.guarded());
  EXPECT_EQ(UaGetPassword(job.get(), nullptr, 256) + UaGetPassword(job.get(), small, -1), 0);
  EXPECT_EQ(isValidEncryptionKey(nullptr), 1);
}

TEST_F(Pjl, AuthenticationBlock)
{
  for (const CaseRow &c : caseTable("pjl.txt#block", 5)) {
    TestJob job({.ppd = "pjl-userauth.ppd", .options = c[0], .user = c[1]});
    GuardedBuffer buffer(4096);
    lfsprintf("\n", buffer.get(), "kept\n");
    const int result = std::stoi(c[3]);
    EXPECT_EQ(getInsertPJL(job.get(), buffer.get(), c[2].data(), static_cast<int32_t>(c[2].size())), result) << c.where;
    expectGolden("pjl/" + c[4] + ".txt", buffer.text().substr(5));
    EXPECT_TRUE(buffer.text().starts_with("kept\n") && buffer.intact()) << c.where;
    EXPECT_EQ(err_no, result ? ARVEX_ERR_WRITER : err_no) << c.where;
  }
  GuardedBuffer buffer(64);
  err_no = 0;
  EXPECT_EQ(getInsertPJL(nullptr, buffer.get(), nullptr, 0), 1);
  EXPECT_EQ(err_no, ARVEX_ERR_WRITER);
  EXPECT_EQ(getInsertPJL(TestJob({.ppd = "pjl-userauth.ppd"}).get(), nullptr, nullptr, 0), 1);
  EXPECT_EQ(getInsertStringForPJL(TestJob({.ppd = "pjl-userauth.ppd"}).get(), buffer.get(), "\n"), 0);
}

TEST_F(Pjl, OptionPassWithItsBlocks)
{
  for (const CaseRow &c : caseTable("pjl.txt#option pass", 4)) {
    TestJob job({.ppd = c[0], .options = c[1], .copies = c[2]});
    GuardedBuffer insertion(4096);
    expectGolden("pjl/" + c[3] + ".txt",
                 written([&](FILE *out) { EXPECT_EQ(runPjlOptionPass(job.get(), out, insertion.get(), job.argv()), 0); }));
    EXPECT_EQ(insertion.text(), "") << c.where;
  }
  TestJob job({.ppd = "pjl-options.ppd", .options = "Collate=True", .copies = "12"});
  char small[8];  // a command read into too small a buffer: a terminated prefix, and the length it needs
  EXPECT_EQ(getPJLOptionCommand(job.get(), "Collate", "12", small, sizeof(small)), 36u);
  EXPECT_STREQ(small, "@PJL SE");
  EXPECT_EQ(getPJLOptionCommand(nullptr, "Collate", "1", small, 1), 0u);  // no job, or no PJL: the empty text, also in one byte
  EXPECT_STREQ(small, "");
  EXPECT_EQ(getPJLOptionCommand(job.get(), "AXSmoothing", "1", nullptr, 0) + getPJLOptionCommand(job.get(), "None", "1", small, 8),
            0u);
  TestJob failing({.ppd = "pjl-userauth.ppd", .options = UA "EnableUserAuth=true " + kLogin + "u " + kReady + "p " + kLanguage + "2"});
  FILE *full = std::fopen("/dev/full", "w");
  setvbuf(full, nullptr, _IONBF, 0);
  EXPECT_EQ(runPjlOptionPass(failing.get(), full, GuardedBuffer(4096).get(), failing.argv()), 1);
  EXPECT_EQ(err_no, ARVEX_ERR_WRITE);
  std::fclose(full);
  GuardedBuffer two(2);  // a block cut to its first byte still goes out
  EXPECT_EQ(written([&](FILE *out) { EXPECT_EQ(flushAuthenticationBlock(failing.get(), two.get(), out), 0); }), "@");
}

}  // namespace
