// The charset code of a job and the conversion of authentication text to
// the character set it names.

#include <arvex/textencoding.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

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
