// The job's time zone: TZ from the time-zone job option or the local zone,
// and what of it the C library may load.

#include <arvex/jobinfo.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>
#include <sys/stat.h>

#include "bounded_text.h"
#include "job_lookup.h"
#include "time_zone.h"

namespace arvex {

bool isLoadableTimeZone(const char *tz)
{
  if (!tz)
    return true;
  std::string_view name(tz);
  if (name.starts_with(':'))
    name.remove_prefix(1);
  if (name.starts_with('/'))
    return false;
  for (size_t begin = 0; begin <= name.size();) {
    const size_t end = std::min(name.find('/', begin), name.size());
    if (name.substr(begin, end - begin) == "..")
      return false;
    begin = end + 1;
  }
  if (name.empty())
    return true;
  const char *dir = std::getenv("TZDIR");
  std::string path = dir && *dir ? dir : "/usr/share/zoneinfo";
  path.append("/").append(name);
  struct stat st = {};
  if (stat(path.c_str(), &st) != 0)
    return true;  // no such file: the text is read as a POSIX rule
  return S_ISREG(st.st_mode);
}

}  // namespace arvex

extern "C" {

// TZ takes the option's text as it stands. A text the C library must not
// load is left unloaded: the zone loaded before stays in force, with a
// DEBUG line.
void getClientTimeZone(const JobInfo *job)
{
  tzset();
  const time_t now = time(nullptr);
  struct tm local = {};
  localtime_r(&now, &local);

  const char *option = arvex::lookup::jobOption(job, "com.arvex.printsettings.11ATimeZone");
  if (option) {
    setenv("TZ", option, 1);
    if (!arvex::isLoadableTimeZone(option)) {
      // The text is not echoed: a line end in it would let the job write
      // report lines of its own to the scheduler.
      std::fputs("DEBUG: the time-zone option names no zone file or rule; the local zone stays\n", stderr);
      return;
    }
  } else {
    // Hours west of UTC are positive in POSIX TZ; the text is cut to 15 bytes.
    char formatted[64] = {};
    std::snprintf(formatted, sizeof(formatted), "%s%ld", local.tm_zone ? local.tm_zone : "",
                  static_cast<long>(-(local.tm_gmtoff / 3600)));
    char zone[16] = {};
    arvex::strlcpy(zone, formatted, sizeof(zone));
    setenv("TZ", zone, 1);
  }
  tzset();
}

}  // extern "C"
