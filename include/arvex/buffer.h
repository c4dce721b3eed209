/*
 * The bounded insertion buffer, line-feed aware formatting and the two
 * byte-region searches.
 */
#ifndef ARVEX_BUFFER_H
#define ARVEX_BUFFER_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A caller-owned byte store with a cursor. The text from start is always
   zero-terminated and cursor points at its terminator. */
typedef struct InsertBuffer {
  char *start;     /* first byte of the storage */
  size_t capacity; /* storage size, terminator included */
  char *cursor;    /* where the next append begins */
} InsertBuffer;

/* Storage size of a line-feed string: "\n", "\r" or "\r\n" plus NUL. */
#define ARVEX_LINEFEED_CODE_SIZE 3
typedef char LinefeedCode[ARVEX_LINEFEED_CODE_SIZE];

/* Choose the line end of the job data from a sample of it and copy it into
   out->start, bounded by out->capacity. Returns 0. */
int getLinefeedCode(const char *sample, InsertBuffer *out, int32_t length);

/* Append fmt to buf at its cursor. Only %d (int), %s (text) and %% are
   conversions; every newline of fmt is written as lf. Never writes past the
   capacity; the text stays terminated. */
void lfsprintf(const char *lf, InsertBuffer *buf, const char *fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

/* 1 when search matches the region [pos, last] from pos, 0 when a byte
   differs, 2 when the region ends first. An empty search text gives 1. */
int compareWithSearchString(const char *pos, const char *last, const char *search);

/* First byte of the next non-blank line in [pos, last], or NULL. */
const char *searchNextHeadOfLine(const char *pos, const char *last);

#ifdef __cplusplus
}
#endif

#endif
