// The login password of the PPD, encrypted for the authentication block,
// and the encryption key text that enters its key.

#include <arvex/error.h>
#include <arvex/textcheck.h>
#include <arvex/textencoding.h>
#include <arvex/userauth.h>

#include <array>
#include <cstring>

#include "../jobcontext/job_lookup.h"

namespace {

// User name and password are cut to 128 bytes in the device character set.
constexpr int kTextLimit = 128;
constexpr int kKeyMaxLength = 32;

}  // namespace

extern "C" {

// Encrypt the PPD password under the PPD login user name and key text.
int getPPDAuthenticationPassword(const JobInfo *job, char *out, int size)
{
  const char *userName = getPPDLoginUserName(job);
  const char *password = getPPDAuthenticationPasswordText(job);
  const char *key = getPPEncryptionKey(job);

  // Both enter the key material and the cipher in the device character set.
  std::array<char, kTextLimit + 1> localUser = {};
  std::array<char, kTextLimit + 1> localPassword = {};
  convertUtf8ToLocal(job, userName, localUser.data(), kTextLimit);
  convertUtf8ToLocal(job, password, localPassword.data(), kTextLimit);

  if (!userName || !password || !key)
    return 0;

  if (exchangeAES256Cipher(localUser.data(), localPassword.data(), key, out, size) > 0)
    return 0;
  latchError(ARVEX_ERR_WRITER);
  if (out && size > 0)
    std::memset(out, 0, static_cast<size_t>(size));
  return 0;
}

// The PPD login password, as far as this scheduler lets it through.
const char *getPPDAuthenticationPasswordText(const JobInfo *job)
{
  if (getPPDChoice(job, "AXAuthLoginPassword") != ARVEX_CHOICE_CUSTOM)
    return "";
  const std::optional<const char *> password = arvex::lookup::customText(job, "AXAuthLoginPassword");
  if (!password)
    return "";
  const char *text = *password;
  if (getCupsVersion() == 1)
    return text;
  return isValidCustomText(text, 0, kTextLimit) ? text : "";
}

// The key text, used only when the PPD switches encryption on.
const char *getPPEncryptionKey(const JobInfo *job)
{
  return getPPDEncryptionValid(job) == 1 ? getPPEncryptionKeyText(job) : "";
}

// 1 when the PPD switches the encryption key on.
int getPPDEncryptionValid(const JobInfo *job)
{
  return arvex::lookup::markedChoiceIsIgnoringCase(job, "AXAuthEnableEncryption", "true") ? 1 : 0;
}

// The custom key text of the PPD, if it is usable.
const char *getPPEncryptionKeyText(const JobInfo *job)
{
  if (getPPDChoice(job, "AXAuthEncryptionKey") != ARVEX_CHOICE_CUSTOM)
    return "";
  const char *key = arvex::lookup::customText(job, "AXAuthEncryptionKey").value_or(nullptr);
  return isValidEncryptionKey(key) ? "" : key;
}

// 1 rejects the key: missing, over 32 bytes, or not printable ASCII.
int isValidEncryptionKey(const char *key)
{
  return isValidCustomText(key, 0, kKeyMaxLength) ? 0 : 1;
}

}  // extern "C"
