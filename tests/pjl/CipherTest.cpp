// Password encryption compared with the openssl command: AES-256-CBC with
// PKCS#7 padding, key and IV from SHA-256 of user name and key text, Base64.

#include <arvex/userauth.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "PjlTestSupport.h"

namespace {

using arvex::test::opensslPassword;

struct Encrypted {
  int32_t needed;
  std::string text;
};

Encrypted encrypt(const std::string &user, const std::string &password, const std::string &key)
{
  char out[256];
  std::memset(out, 'z', sizeof(out));
  const int32_t needed = exchangeAES256Cipher(user.c_str(), password.c_str(), key.c_str(), out, sizeof(out));
  return {needed, std::string(out, strnlen(out, sizeof(out)))};
}

TEST(Cipher, EmptyPasswordIsOneBlockOfPadding)
{
  const Encrypted e = encrypt("alice", "", "");
  EXPECT_EQ(e.text, opensslPassword("alice", "", ""));
  EXPECT_EQ(e.text.size(), 24u);
  EXPECT_EQ(e.text.substr(22), "==");
  EXPECT_EQ(e.needed, 25);  // (4 * 16) / 3 + 4
}

TEST(Cipher, PasswordLengthsAroundTheBlockSize)
{
  struct Case {
    std::string password;
    size_t base64Length;
    int32_t needed;
    std::string padding;
  };
  const Case cases[] = {
      {std::string(15, 'p'), 24, 25, "=="},
      {"0123456789abcdef", 44, 46, "="},
      {"0123456789abcdef0123456789ABCDEF", 64, 68, ""},
      {std::string(128, 'q'), 192, 196, ""},
  };
  for (const Case &c : cases) {
    const Encrypted e = encrypt("bob", c.password, "k3y");
    EXPECT_EQ(e.text, opensslPassword("bob", "k3y", c.password)) << c.password;
    EXPECT_EQ(e.text.size(), c.base64Length) << c.password;
    EXPECT_EQ(e.needed, c.needed) << c.password;
    const size_t pads = e.text.size() - e.text.find_last_not_of('=') - 1;
    EXPECT_EQ(pads, c.padding.size()) << c.password;
  }
}

TEST(Cipher, KeyTextAndUserNameBothEnterTheKey)
{
  EXPECT_EQ(encrypt("alice", "secret", "KEY").text, opensslPassword("alice", "KEY", "secret"));
  // Only the concatenation counts.
  EXPECT_EQ(encrypt("ali", "secret", "ce").text, opensslPassword("alice", "", "secret"));
}

TEST(Cipher, OutputTooSmallOrMissingIsNotWritten)
{
  char out[25];
  std::memset(out, 'z', sizeof(out));
  EXPECT_EQ(exchangeAES256Cipher("alice", "0123456789abcdef", "", out, 45), 46);
  EXPECT_EQ(exchangeAES256Cipher("alice", "0123456789abcdef", "", out, 25), 46);
  EXPECT_EQ(std::string(out, sizeof(out)), std::string(25, 'z'));
  EXPECT_EQ(exchangeAES256Cipher("alice", "", "", nullptr, 0), 25);
  // Exactly the needed size is enough.
  EXPECT_EQ(exchangeAES256Cipher("alice", "", "", out, 25), 25);
  EXPECT_EQ(std::string(out), opensslPassword("alice", "", ""));
}

}  // namespace
