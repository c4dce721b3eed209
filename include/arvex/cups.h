/*
 * The CUPS client and PPD interfaces, as this project includes them.
 *
 * libcups marks its PPD functions deprecated. Reading the queue's PPD is
 * exactly what a CUPS filter for PPD-based queues has to do, so the
 * deprecation attributes are turned off here, once, for every file that
 * reaches libcups through this header.
 */
#ifndef ARVEX_CUPS_H
#define ARVEX_CUPS_H

#include <cups/versioning.h>

#undef _CUPS_DEPRECATED
#undef _CUPS_DEPRECATED_MSG
#undef _CUPS_DEPRECATED_1_2_MSG
#undef _CUPS_DEPRECATED_1_6_MSG
#undef _CUPS_DEPRECATED_1_7_MSG
#undef _CUPS_DEPRECATED_2_2_MSG
#define _CUPS_DEPRECATED _CUPS_PUBLIC
#define _CUPS_DEPRECATED_MSG(m) _CUPS_PUBLIC
#define _CUPS_DEPRECATED_1_2_MSG(m) _CUPS_PUBLIC
#define _CUPS_DEPRECATED_1_6_MSG(m) _CUPS_PUBLIC
#define _CUPS_DEPRECATED_1_7_MSG(m) _CUPS_PUBLIC
#define _CUPS_DEPRECATED_2_2_MSG(m) _CUPS_PUBLIC

#include <cups/cups.h>
#include <cups/ppd.h>

#endif
