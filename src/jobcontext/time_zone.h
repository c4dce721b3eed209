// Whether the C library may load a TZ text.
#ifndef ARVEX_TIME_ZONE_H
#define ARVEX_TIME_ZONE_H

namespace arvex {

// The C library opens whatever file a TZ text names: an absolute path, or a
// name under the zoneinfo directory. A text that a job option sets may name
// the job's own input (/dev/stdin), a FIFO or any file the filter's user can
// read. Loadable are: no text, a POSIX rule, and a relative name without a
// ".." component that, where it exists under the zoneinfo directory, is a
// regular file.
bool isLoadableTimeZone(const char *tz);

}  // namespace arvex

#endif
