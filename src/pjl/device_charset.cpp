// The device character set of authentication text: the charset code of a
// job, and UTF-8 text cut to a byte limit and converted to it with iconv.

#include <arvex/textencoding.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iconv.h>

#include "../jobcontext/utf8_lead.h"

namespace {

// An open iconv conversion, closed when it goes out of scope.
class IconvHandle {
public:
  IconvHandle(const char *to, const char *from) : cd_(iconv_open(to, from)) {}
  ~IconvHandle()
  {
    if (isOpen())
      iconv_close(cd_);
  }
  IconvHandle(const IconvHandle &) = delete;
  IconvHandle &operator=(const IconvHandle &) = delete;

  bool isOpen() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

private:
  iconv_t cd_;
};

// Convert UTF-8 text to the character set named to; see textencoding.h.
int convertUtf8To(const char *to, const char *text, char *out, int size)
{
  if (!text || !*text)
    return -1;
  convertStrCode("UTF-8", text, to, out, size);
  return 0;
}

constexpr char kAuthLanguageOption[] = "com.arvex.printsettings.UserAuth.AuthLanguage";

// Texts are cut in a 1024-byte work area, so a limit stays below that.
constexpr int kWorkSize = 1024;

bool isKnownCharsetCode(long code)
{
  switch (code) {
  case ARVEX_CHARSET_SHIFT_JIS:
  case ARVEX_CHARSET_LATIN1:
  case ARVEX_CHARSET_BIG5:
  case ARVEX_CHARSET_EUC_KR:
  case ARVEX_CHARSET_UTF8:
    return true;
  default:
    return false;
  }
}

// The number at the start of text as atoi reads it (blanks, sign, digits),
// without atoi's undefined result for numbers out of range.
long leadingNumber(const char *text)
{
  const int savedErrno = errno;
  const long value = std::strtol(text, nullptr, 10);
  errno = savedErrno;
  return value;
}


}  // namespace

extern "C" {

// Copy whole UTF-8 sequences up to the byte limit. Only lead bytes are
// classified; the bytes a lead byte promises are checked only for the
// terminator, so that a sequence cut short by the end of the text is left
// out instead of read past.
int subUtf8StringOfMaxBytes(const char *text, char *out, int limit)
{
  if (!text || !*text)
    return 0;
  const auto *bytes = reinterpret_cast<const unsigned char *>(text);
  int count = 0;
  while (bytes[count] != 0) {
    const int length = arvex::utf8::sequenceLength(bytes[count]);
    if (length == 0)
      return 0;
    if (static_cast<long long>(count) + length > limit)
      break;
    bool whole = true;
    for (int i = 1; i < length; ++i) {
      if (bytes[count + i] == 0) {
        whole = false;
        break;
      }
    }
    if (!whole)
      break;
    count += length;
  }
  if (count > 0 && out)
    std::memcpy(out, text, static_cast<size_t>(count));
  return count;
}

// One iconv call from one named set to another; no flushing call follows,
// which is right for the stateless sets used here.
int convertStrCode(const char *from, const char *text, const char *to, char *out, int size)
{
  if (!from || !to || !text || !out)
    return -1;
  IconvHandle cd(to, from);
  if (!cd.isOpen())
    return -1;
  // iconv does not write through its input pointer; the cast only fits its
  // historical signature.
  char *in = const_cast<char *>(text);
  size_t inLeft = std::strlen(text);
  char *dst = out;
  size_t outLeft = size > 0 ? static_cast<size_t>(size) : 0;
  const size_t result = iconv(cd.get(), &in, &inLeft, &dst, &outLeft);
  return static_cast<int>(result);
}

// Shift JIS, for Japanese printers.
int convertUtf8ToShiftJis(const char *text, char *out, int size)
{
  return convertUtf8To("SJIS", text, out, size);
}

// Big5, for Traditional Chinese printers.
int convertUtf8ToBig5(const char *text, char *out, int size)
{
  return convertUtf8To("BIG5", text, out, size);
}

// ISO-8859-1, the default.
int convertUtf8ToWinLatin1(const char *text, char *out, int size)
{
  return convertUtf8To("ISO-8859-1", text, out, size);
}

// EUC-KR, for Korean printers.
int convertUtf8ToEucKr(const char *text, char *out, int size)
{
  return convertUtf8To("EUC-KR", text, out, size);
}


// Charset code from the job option, else from LANG; unknown codes give 2.
int UaGetCharsetCode(const JobInfo *job)
{
  const char *option = getCupsOption(job, kAuthLanguageOption);
  const long code = option ? leadingNumber(option) : getCharsetCodeOfOS();
  return isKnownCharsetCode(code) ? static_cast<int>(code) : ARVEX_CHARSET_LATIN1;
}

// Charset code of the system language.
int getCharsetCodeOfOS(void)
{
  const char *lang = std::getenv("LANG");
  if (!lang)
    return ARVEX_CHARSET_LATIN1;
  if (std::strstr(lang, "zh_CN"))
    return ARVEX_CHARSET_UTF8;
  if (std::strstr(lang, "zh_TW"))
    return ARVEX_CHARSET_BIG5;
  if (std::strstr(lang, "ja"))
    return ARVEX_CHARSET_SHIFT_JIS;
  if (std::strstr(lang, "ko"))
    return ARVEX_CHARSET_EUC_KR;
  return ARVEX_CHARSET_LATIN1;
}

// Cut the text to the limit, then convert it for the job's charset code.
int convertUtf8ToLocal(const JobInfo *job, const char *text, char *out, int limit)
{
  if (limit > kWorkSize - 1)
    limit = kWorkSize - 1;
  std::array<char, kWorkSize> cut = {};
  subUtf8StringOfMaxBytes(text, cut.data(), limit);

  switch (UaGetCharsetCode(job)) {
  case ARVEX_CHARSET_UTF8:
    if (out)
      std::memcpy(out, cut.data(), std::strlen(cut.data()));
    return 0;
  case ARVEX_CHARSET_SHIFT_JIS:
    return convertUtf8ToShiftJis(cut.data(), out, limit);
  case ARVEX_CHARSET_BIG5:
    return convertUtf8ToBig5(cut.data(), out, limit);
  case ARVEX_CHARSET_EUC_KR:
    return convertUtf8ToEucKr(cut.data(), out, limit);
  default:
    return convertUtf8ToWinLatin1(cut.data(), out, limit);
  }
}

// Custom texts pass unchecked on schedulers newer than CUPS 2.0.
int isValidTextFromCups(const char *text, int min, int max)
{
  if (getCupsVersion() == 1)
    return 1;
  return isValidCustomText(text, min, max);
}

}  // extern "C"
