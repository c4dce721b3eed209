// Password encryption for the authentication block: AES-256-CBC with PKCS#7
// padding under a key and IV derived by SHA-256 from the user name and the
// key text, sent as Base64.

#include <arvex/userauth.h>

#include <openssl/evp.h>

#include <array>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr size_t kMaterialSize = 256;
constexpr size_t kDigestSize = 32;
constexpr size_t kIvSize = 16;
constexpr size_t kBlockSize = 16;
// Longest password accepted, far above what the PPD readers hand in; it
// keeps every length below in int range.
constexpr size_t kPasswordMax = INT_MAX / 4 - kBlockSize;

struct CipherContextDeleter {
  void operator()(EVP_CIPHER_CTX *ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextDeleter>;

// SHA-256 of the user name followed by the key text.
bool deriveKey(const char *userName, const char *key, std::array<unsigned char, kDigestSize> &digest)
{
  std::array<char, kMaterialSize> material = {};
  std::snprintf(material.data(), material.size(), "%s%s", userName, key);
  unsigned int digestLength = 0;
  return EVP_Digest(material.data(), std::strlen(material.data()), digest.data(), &digestLength, EVP_sha256(),
                    nullptr) == 1 &&
         digestLength == kDigestSize;
}

// Encrypt password into cipher (password length + 16 bytes); the number of
// ciphertext bytes, 0 on failure.
int encrypt(const std::array<unsigned char, kDigestSize> &digest, const char *password, size_t length,
            unsigned char *cipher)
{
  std::array<unsigned char, kIvSize> iv = {};
  std::memcpy(iv.data(), digest.data(), kIvSize);

  CipherContext ctx(EVP_CIPHER_CTX_new());
  if (!ctx || EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, digest.data(), iv.data()) != 1)
    return 0;
  int written = 0;
  if (EVP_EncryptUpdate(ctx.get(), cipher, &written, reinterpret_cast<const unsigned char *>(password),
                        static_cast<int>(length)) != 1)
    return 0;
  int last = 0;
  if (EVP_EncryptFinal_ex(ctx.get(), cipher + written, &last) != 1)
    return 0;
  return written + last;
}

}  // namespace

extern "C" {

// Encrypt and encode the password; returns the output size it needs.
int32_t exchangeAES256Cipher(const char *userName, const char *password, const char *key, char *out, int32_t size)
{
  if (!userName)
    userName = "";
  if (!password)
    password = "";
  if (!key)
    key = "";

  std::array<unsigned char, kDigestSize> digest = {};
  if (!deriveKey(userName, key, digest))
    return 0;

  const size_t length = std::strlen(password);
  if (length > kPasswordMax)
    return 0;
  std::unique_ptr<unsigned char[]> cipher(new (std::nothrow) unsigned char[length + kBlockSize]());
  if (!cipher)
    return 0;

  const int n = encrypt(digest, password, length, cipher.get());
  const int32_t needed = (4 * n) / 3 + 4;
  if (!out || needed > size)
    return needed;
  // Standard alphabet with padding and no line breaks; writes the terminator.
  EVP_EncodeBlock(reinterpret_cast<unsigned char *>(out), cipher.get(), n);
  return needed;
}

}  // extern "C"
