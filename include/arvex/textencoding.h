/*
 * The device character sets of authentication text: the charset code of a
 * job, the byte-limited cut of UTF-8 text and the conversion to the code's
 * character set.
 *
 * Charset codes: 1 Shift JIS, 2 ISO-8859-1 (the default), 9 Big5,
 * 13 EUC-KR, 33 UTF-8 passed through.
 */
#ifndef ARVEX_TEXTENCODING_H
#define ARVEX_TEXTENCODING_H

#include <arvex/jobinfo.h>
#include <arvex/textcheck.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
  ARVEX_CHARSET_SHIFT_JIS = 1,
  ARVEX_CHARSET_LATIN1 = 2,
  ARVEX_CHARSET_BIG5 = 9,
  ARVEX_CHARSET_EUC_KR = 13,
  ARVEX_CHARSET_UTF8 = 33
};

/* Charset code of the job: the job option
   "com.arvex.printsettings.UserAuth.AuthLanguage" read as a number (an absent
   option latches 6), else getCharsetCodeOfOS(). Any number outside
   {1, 2, 9, 13, 33} gives 2. */
int UaGetCharsetCode(const JobInfo *job);

/* Charset code from $LANG: "zh_CN" 33, "zh_TW" 9, "ja" 1, "ko" 13, tested in
   this order as substrings; 2 otherwise or when LANG is unset. */
int getCharsetCodeOfOS(void);

/* Cut text to at most limit bytes at a character boundary and convert it to
   the job's character set into out, writing at most limit bytes and no
   terminator: out must be zero-filled and at least limit + 1 bytes long.
   limit is capped at 1023. 0 on success; -1 when the cut text is empty
   (out is then untouched), except for code 33, whose plain copy always
   gives 0. */
int convertUtf8ToLocal(const JobInfo *job, const char *text, char *out, int limit);

/* Convert UTF-8 text into out (at most size bytes, no terminator). Stops at
   the first character the target set lacks, keeping what came before.
   -1 for a NULL or empty text, else 0. */
int convertUtf8ToShiftJis(const char *text, char *out, int size);
int convertUtf8ToBig5(const char *text, char *out, int size);
int convertUtf8ToWinLatin1(const char *text, char *out, int size);
int convertUtf8ToEucKr(const char *text, char *out, int size);

/* One iconv pass of text from the set named from to the set named to, into
   out (at most size bytes, no terminator). -1 when iconv knows no such
   conversion; otherwise what iconv returned (-1 when it stopped early). */
int convertStrCode(const char *from, const char *text, const char *to, char *out, int size);

/* Copy the longest prefix of text made of whole UTF-8 sequences and at most
   limit bytes to out, without terminator; returns the number of bytes
   copied. A byte that cannot start a sequence where one is expected makes
   the result 0 with nothing copied. A sequence cut short by the terminator
   ends the prefix before it. */
int subUtf8StringOfMaxBytes(const char *text, char *out, int limit);

/* 1 at once on a scheduler newer than CUPS 2.0, else isValidCustomText(). */
int isValidTextFromCups(const char *text, int min, int max);

#ifdef __cplusplus
}
#endif

#endif
