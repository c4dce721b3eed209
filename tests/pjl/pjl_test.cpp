// User authentication and the PJL settings of a job: the device character set (against iconv), the password cipher
// (against openssl), the login user name and password field, the authentication block and the option pass.

#include <arvex/error.h>
#include <arvex/pjl.h>
#include <arvex/textencoding.h>
#include <arvex/userauth.h>

#include "arvex/test.h"
#include "option_pass.h"

#include <cstdlib>
#include <optional>
#include <tuple>

namespace {

using namespace arvex::test;

#define UA PS "UserAuth."
const std::string kLanguage = UA "AuthLanguage=", kLogin = UA "LoginUserName=", kEnable = UA "EnableUserAuth=",
                  kReady = UA "EncryptedPasswordAuth=";
const std::string kAllFromJob = kEnable + "true " + kLogin + "u " + kReady + "p " + kLanguage + "2";  // none absent
const std::string kJapanese = "\xe5\xb1\xb1\xe7\x94\xb0 \xe3\x82\xbf\xe3\x83\xad\xe3\x82\xa6";  // 山田 タロウ

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
  const auto lang = [](const char *value) { return kLanguage + value; };
  const std::tuple<const char *, std::string, int> cases[] = {
      {nullptr, "", 2}, {"ja_JP.UTF-8", "", 1}, {"zh_TW.UTF-8", "", 9}, {"ko_KR.UTF-8", "", 13}, {"zh_CN.UTF-8", "", 33},
      {"en_US.UTF-8", "", 2}, {"ja", lang("13"), 13}, {"ja", lang("33"), 33}, {"ko", lang("1"), 1}, {"ja", lang("2"), 2},
      {"ja", lang("5"), 2}, {"ja", lang("0"), 2}, {"ja", lang("abc"), 2}, {"ja", lang("' 9'"), 9}, {"ja", lang("9x"), 9},
      {"ja", lang("4294967297"), 2}, {"ja", "com.arvex.printsettings.userauth.authlanguage=13", 13}};  // names ignore case
  for (const auto &[language, options, code] : cases) {
    language ? setenv("LANG", language, 1) : unsetenv("LANG");
    EXPECT_EQ(UaGetCharsetCode(TestJob({.options = options}).get()), code) << options;
    EXPECT_EQ(err_no, options.empty() ? ARVEX_ERR_NOOPTION : 0) << options;
  }
}

TEST_F(Pjl, Utf8CutAtTheLimit)
{
  // A byte that can't lead a sequence, where the walk reaches it, gives nothing; a sequence that the terminator cuts
  // short is left out, not read past.
  const std::tuple<std::string, int, int> cases[] = {
      {std::string(128, 'a'), 128, 128}, {std::string(127, 'a') + "\xc3\xa9", 128, 127}, {repeat("\xe3\x81\x82", 43), 128, 126},
      {repeat("\xf0\x9f\x98\x80", 33), 128, 128}, {"abc", 0, 0}, {"abc", -5, 0}, {"", 128, 0}, {"\x80" "abc", 128, 0},
      {"abc\xfe" "def", 128, 0}, {"ab\xc3\xa9\xa9", 128, 0}, {std::string(128, 'a') + "\xff", 128, 0},
      {std::string(127, 'a') + "\xc3\xa9\xff", 128, 127}, {"ab\xe3\x81", 128, 2}, {"ab\xe3", 128, 2}, {"\xf0\x9f\x98", 128, 0}};
  for (const auto &[text, limit, count] : cases) {
    char *copy = strdup(text.c_str());  // exact size: AddressSanitizer sees an over-read
    std::string out(256, 'z');
    EXPECT_EQ(subUtf8StringOfMaxBytes(copy, out.data(), limit), count) << text;
    EXPECT_EQ(out, text.substr(0, count) + std::string(256 - count, 'z')) << text;
    std::free(copy);
  }
  EXPECT_EQ(subUtf8StringOfMaxBytes("abc", nullptr, 128), 3);  // counted, not copied
}

TEST_F(Pjl, ConversionAgainstIconv)
{
  const size_t all = std::string::npos;
  // {code, text, limit, the set iconv converts to, the UTF-8 bytes that fit the limit, result}
  const std::tuple<const char *, std::string, int, const char *, size_t, int> cases[] = {
      {"1", kJapanese, 128, "SJIS", all, 0}, {"9", "\xe7\x8e\x8b\xe5\xb0\x8f\xe6\x98\x8e", 128, "BIG5", all, 0},  // 王小明
      {"13", "\xea\xb9\x80\xec\xb2\xa0\xec\x88\x98", 128, "EUC-KR", all, 0},                                   // 김철수
      {"2", "Jos\xc3\xa9 M\xc3\xbcller", 128, "ISO-8859-1", all, 0}, {"1", repeat("\xe3\x83\x86", 50), 128, "SJIS", 126, 0},
      {"2", "caf\xc3\xa9\xe6\x97\xa5 zz", 128, "ISO-8859-1", all, 0},  // stops where Latin-1 lacks the character
      {"1", "ab\xc3(cd", 128, "SJIS", all, 0}, {"33", kJapanese, 7, "UTF-8", 7, 0}, {"1", "", 128, "SJIS", 0, -1},
      {"13", "", 128, "EUC-KR", 0, -1}, {"2", "\x80", 128, "ISO-8859-1", 0, -1}, {"33", "", 128, "UTF-8", 0, 0},
      {"33", std::string(2000, 'a'), 2000, "UTF-8", 1023, 0}};  // limits stay inside the 1024-byte work area
  for (const auto &[code, text, limit, charset, cut, result] : cases) {
    TestJob job({.options = kLanguage + code});
    std::vector<char> out(static_cast<size_t>(limit) + 8, '\0');
    EXPECT_EQ(convertUtf8ToLocal(job.get(), text.c_str(), out.data(), limit), result) << text;
    EXPECT_EQ(std::string(out.data()), iconv(charset, text.substr(0, cut))) << text;
  }
  std::string out(12, 'z');
  EXPECT_EQ(convertUtf8ToWinLatin1(repeat("\xc3\xa9", 6).c_str(), out.data(), 4), 0);
  EXPECT_EQ(out, "\xe9\xe9\xe9\xe9" + std::string(8, 'z'));
  EXPECT_EQ(shown(convertStrCode("UTF-8", "abc", "NO-SUCH-CHARSET", out.data(), 4),
                  convertUtf8ToShiftJis(nullptr, out.data(), 4), isValidTextFromCups("caf\xc3\xa9\t", 1, 3)),
            "-1|-1|1");  // newer schedulers: unchecked
  setenv("SOFTWARE", "CUPS/2.0", 1);
  EXPECT_EQ(shown(isValidTextFromCups("caf\xc3\xa9", 0, 128), isValidTextFromCups("cafe", 0, 128)), "0|1");
}

TEST_F(Pjl, CipherAgainstOpenssl)
{
  // {user, key, password, the room its Base64 text needs}
  const std::tuple<std::string, std::string, std::string, int32_t> cases[] = {{"alice", "", "", 25},
      {"bob", "k3y", std::string(15, 'p'), 25}, {"bob", "k3y", "0123456789abcdef", 46},
      {"bob", "k3y", std::string(32, 'x'), 68}, {"bob", "k3y", std::string(128, 'q'), 196}, {"alice", "KEY", "secret", 25}};
  for (const auto &[user, key, password, needed] : cases) {
    std::string out(256, 'z');
    EXPECT_EQ(exchangeAES256Cipher(user.c_str(), password.c_str(), key.c_str(), out.data(), 256), needed);
    EXPECT_EQ(out.c_str(), aes(user, key, password));
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
  EditedPpd capitalTrue("pjl-userauth.ppd", {{"*AXUserAuthenticationSupport", "*AXUserAuthenticationSupport: \"True\""}});
  const std::string queue = fixture("ppd/pjl-userauth.ppd");
  const std::tuple<std::string, std::string, int> cases[] = {
      {queue, "x=1", 1}, {queue, "AXEnableUserAuth=False", 0}, {queue, kEnable + "TRUE AXEnableUserAuth=False", 1},
      {queue, kEnable + "tRuE", 1}, {queue, kEnable + "1", 0}, {queue, kEnable + "yes", 0}, {queue, kEnable + "''", 0},
      {capitalTrue.path(), kEnable + "true", 0}, {"pjl-options.ppd", kEnable + "true", 0}, {"", kEnable + "true", 0},
      {"pjl-nogroups.ppd", kEnable + "True", 1}};
  for (const auto &[ppd, options, valid] : cases)
    EXPECT_EQ(UaGetFunctionValid(TestJob({.ppd = ppd, .options = options}).get()), valid) << options;
}

TEST_F(Pjl, LoginUserNameAndPasswordField)
{
  const std::string key = " !Printable~ASCII key of 32 b}es", keyText = " AXAuthEncryptionKey='Custom." + key + "'";
  const std::string defined = "AXAuthLoginUserNameType=DefinedUserID AXAuthLoginUserNameText=";
  const std::string secret = "\xe3\x83\x91\xe3\x82\xb9\x31", yamada = "\xe5\xb1\xb1\xe7\x94\xb0";  // パス1, 山田
  EditedPpd upperCase("pjl-userauth.ppd", {{"*AXAuthEnableEncryption True/", "*AXAuthEnableEncryption TRUE/On: \"\""}});
  const std::string sjis = iconv("SJIS", yamada), u128(128, 'u');
  const struct {
    std::string options;
    std::optional<std::string> login;  // none: -1
    std::string password, user = "alice";
    const char *software = "CUPS/2.4.2";
    std::string ppd = "pjl-userauth.ppd";
  } cases[] = {
      {"AXAuthEnableEncryption=False" + keyText, "alice", aes("alice", "", "")},
      {"AXAuthEnableEncryption=True" + keyText, "alice", aes("alice", key, "")},
      {"AXAuthEnableEncryption=TRUE" + keyText, "alice", aes("alice", key, ""), "alice", "CUPS/2.4.2", upperCase.path()},
      {"AXAuthEnableEncryption=True AXAuthEncryptionKey=Custom." + std::string(33, 'k'), "alice", aes("alice", "", "")},
      {"AXAuthLoginPassword=Custom.s3cr3t", "alice", aes("alice", "", "s3cr3t")},
      {"AXAuthLoginPassword=Custom", "alice", ""},
      {"AXAuthLoginPassword=Custom." + std::string(129, 'p'), "alice", aes("alice", "", ""), "alice", "CUPS/2.0"},
      {"AXAuthLoginPassword='Custom.p\xc3\xa4ss'", "alice", aes("alice", "", "p\xe4ss")},
      {"AXAuthLoginPassword=Custom." + std::string(200, 'p'), "alice", aes("alice", "", std::string(128, 'p'))},
      {kLanguage + "1 AXAuthLoginPassword='Custom." + secret + "'", sjis, aes(sjis, "", iconv("SJIS", secret)), yamada},
      {defined + "None " + kLogin + "bob", "bob", ""},  // the key takes the PPD's user name: none
      {"x=1", "Jos\xe9", aes("Jos\xe9", "", ""), "Jos\xc3\xa9"}, {defined + "None", std::nullopt, ""},
      {defined + "Custom." + std::string(129, 'u'), std::nullopt, "", "alice", "CUPS/1.7.5"},
      {defined + "Custom." + u128, u128, aes(u128, "", ""), "alice", "CUPS/1.7.5"},
      {defined + "'Custom.Ren\xc3\xa9'", "Ren\xe9", aes("Ren\xe9", "", ""), "alice", "CUPS/2.1"},
      {kLogin + std::string(10240, 'n'), std::string(128, 'n'), aes("alice", "", "")},
      {kLogin + "'\xff\xfe" "abc'", "", aes("alice", "", "")},  // found, but converts to nothing
      {kReady + "'q+Z/9=='", "alice", "q+Z/9=="},
      {kReady + std::string(300, 'P'), "alice", std::string(255, 'P')},  // the field stays terminated
  };
  for (const auto &c : cases) {
    setenv("SOFTWARE", c.software, 1);
    TestJob job({.ppd = c.ppd, .options = c.options, .user = c.user});
    char login[256] = {}, password[256] = {};
    EXPECT_EQ(UaGetLoginUserName(job.get(), login, sizeof(login)), c.login ? 0 : -1) << c.options;
    EXPECT_EQ(login, c.login.value_or("")) << c.options;
    EXPECT_EQ(UaGetPassword(job.get(), password, sizeof(password)), 0);
    EXPECT_EQ(password, c.password) << c.options;
  }
  TestJob job({.ppd = "pjl-userauth.ppd", .options = "AXAuthEnableEncryption=False" + keyText + " " + kLogin + "nnnnnnnnnn"});
  EXPECT_EQ(getPPEncryptionKeyText(job.get()), key);  // read, though not used
  char small[9] = {};
  EXPECT_EQ(UaGetLoginUserName(job.get(), small, sizeof(small)), 0);  // a smaller output lowers the cut
  EXPECT_EQ(std::string(small), std::string(8, 'n'));
  EXPECT_EQ(UaGetPassword(job.get(), nullptr, 256) + UaGetPassword(job.get(), small, -1), 0);
  EXPECT_EQ(isValidEncryptionKey(nullptr), 1);
}

TEST_F(Pjl, AuthenticationBlock)
{
  const std::string bad = "\xff\xfe\xc3(";
  const std::tuple<std::string, std::string, std::string, const char *, int> cases[] = {
      {kLanguage + "1", "alice", "%PDF-1.4\r\n%\xe2\xe3\r\n", "block-crlf", 0},  // lines end like the data's
      {kLogin + "bob", "alice", "", "block-login-option", 0},
      {"AXAuthLoginUserNameType=DefinedUserID", "alice", "", "block-no-user-id", 0},
      {kLanguage + "1 " + kLogin + "'" + bad + "' AXAuthLoginPassword='Custom." + bad + "'", bad, "", "block-bad-bytes", 0},
      {"x=1", std::string(3000, 'v'), "", "block-long-user", 0},
      {kEnable + "false", "alice", "", "block-off", 1},  // stays, but the flush won't send it
      {kAllFromJob, std::string(3816, 'u'), "", "block-fills-buffer", 0},  // 4095 bytes with "kept": exactly fits
      {kAllFromJob, std::string(4000, 'u'), "", "block-cut", 0},  // cut where the room ends
      {kReady + std::string(300, 'P'), "alice", "", "block-long-password", 0}};  // cut to its field
  for (const auto &[options, user, sample, golden, result] : cases) {
    TestJob job({.ppd = "pjl-userauth.ppd", .options = options, .user = user});
    GuardedBuffer buffer(4096);
    lfsprintf("\n", buffer.get(), "kept\n");
    EXPECT_EQ(getInsertPJL(job.get(), buffer.get(), sample.data(), static_cast<int32_t>(sample.size())), result);
    expectGolden(std::string("pjl/") + golden + ".txt", buffer.text().substr(5));
    EXPECT_TRUE(buffer.text().starts_with("kept\n") && buffer.intact());
    EXPECT_EQ(err_no, result ? ARVEX_ERR_WRITER : err_no) << options;
  }
  GuardedBuffer buffer(64);
  err_no = 0;
  EXPECT_EQ(getInsertPJL(nullptr, buffer.get(), nullptr, 0), 1);
  EXPECT_EQ(err_no, ARVEX_ERR_WRITER);
  EXPECT_EQ(getInsertPJL(TestJob({.ppd = "pjl-userauth.ppd"}).get(), nullptr, nullptr, 0), 1);
}

TEST_F(Pjl, OptionPassWithItsBlocks)
{
  const std::string noParameter = "*JCLOpenUI *AXNoParam/No Parameter: PickOne\n*DefaultAXNoParam: None\n"
                                  "*AXNoParam None/None: \"\"\n*JCLCloseUI: *AXNoParam\n"
                                  "*CustomAXNoParam True/Custom: \"@PJL SET NOPARAM=\\1\"\n*CloseGroup: Basic";
  EditedPpd unfinished("pjl-userauth.ppd", {{"*CloseGroup: Basic", noParameter}});
  EditedPpd longCode("pjl-options.ppd", {{"*CustomAXJobComment", "*CustomAXJobComment True/Custom: \"@PJL SET " +
                                                                      std::string(200, 'J') + "=\\1\""},
                                         {"*ParamCustomAXCopyLimit", ""}});
  const std::tuple<std::string, std::string, std::string, const char *> cases[] = {
      {"pjl-options.ppd", "x=1", "3", "pass-copies"},
      {"pjl-options.ppd", "Collate=True Duplex=DuplexTumble AXJobComment='Custom.Q3 \"final\"' AXCopyLimit=Custom.40 "
                          "AXDensity=Custom.2.5", "12", "pass-collated-custom"},
      {"pjl-options.ppd", "AXJobComment=Custom", "1", "pass-empty-custom"},
      {longCode.path(), "AXJobComment=Custom." + std::string(900, 'c') + " AXCopyLimit=Custom", std::string(1100, '9'),
       "pass-long"},  // and a custom value without its parameter
      {"pjl-options.ppd", "", "3", "empty"},  // no job options: nothing marked
      {"pjl-userauth.ppd", "x=1", "1", "pass-userauth"}, {"pjl-userauth.ppd", "AXEnableUserAuth=False", "1", "pass-userauth-off"},
      {unfinished.path(), "AXNoParam=Custom", "1", "pass-no-parameter"}, {"pjl-nogroups.ppd", "x=1", "1", "empty"},
      {"pjl-nogroups.ppd", kEnable + "True " + kLogin + "carol", "1", "pass-no-groups"}};
  for (const auto &[ppd, options, copies, golden] : cases) {
    TestJob job({.ppd = ppd, .options = options, .copies = copies});
    GuardedBuffer insertion(4096);
    expectGolden(std::string("pjl/") + golden + ".txt",
                 written([&](FILE *out) { EXPECT_EQ(runPjlOptionPass(job.get(), out, insertion.get(), job.argv()), 0); }));
    EXPECT_EQ(insertion.text(), "");
  }
  TestJob job({.ppd = "pjl-options.ppd", .options = "Collate=True", .copies = "12"});
  char small[8];  // a command read into too small a buffer: a terminated prefix, and the length it needs
  EXPECT_EQ(getPJLOptionCommand(job.get(), "Collate", "12", small, sizeof(small)), 36u);
  EXPECT_STREQ(small, "@PJL SE");
  EXPECT_EQ(getPJLOptionCommand(nullptr, "Collate", "1", small, sizeof(small)), 0u);  // no job, or no PJL: the empty text
  EXPECT_STREQ(small, "");
  EXPECT_EQ(getPJLOptionCommand(job.get(), "AXSmoothing", "1", nullptr, 0) + getPJLOptionCommand(job.get(), "None", "1", small, 8),
            0u);
  TestJob failing({.ppd = "pjl-userauth.ppd", .options = kAllFromJob});
  FILE *full = std::fopen("/dev/full", "w");
  setvbuf(full, nullptr, _IONBF, 0);
  EXPECT_EQ(runPjlOptionPass(failing.get(), full, GuardedBuffer(4096).get(), failing.argv()), 1);
  EXPECT_EQ(err_no, ARVEX_ERR_WRITE);
  std::fclose(full);
}

}  // namespace
