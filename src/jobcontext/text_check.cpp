// Custom-text checks and the scheduler's CUPS version. Newer schedulers
// pass custom texts through as they are, so readers of PPD custom values
// ask for the version before they insist on printable ASCII.

#include <arvex/textcheck.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {

// Version number of a "CUPS/2.4" style text.
int CUPSVersion(const char *text)
{
  if (!text)
    return 0;
  int major = 0;
  int minor = 0;
  std::sscanf(text, "CUPS/%d.%d", &major, &minor);
  if (minor >= 100)
    minor = 99;
  return major * 100 + minor;
}

// Whether the scheduler running us is newer than CUPS 2.0.
int getCupsVersion(void)
{
  return static_cast<unsigned>(CUPSVersion(std::getenv("SOFTWARE"))) > 200u ? 1 : 0;
}

// Printable ASCII within the length bounds.
int isValidCustomText(const char *text, int min, int max)
{
  if (!text)
    return 0;
  const size_t n = std::strlen(text);
  if ((min > 0 && n < static_cast<size_t>(min)) || max < 0 || n > static_cast<size_t>(max))
    return 0;
  for (size_t i = 0; i < n; ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x20 || b > 0x7e)
      return 0;
  }
  return 1;
}

}  // extern "C"
