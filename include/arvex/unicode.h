/*
 * Canonical composition (Unicode Normalization Form C) of marking text held
 * in PostScript octal-escape notation, and the small UTF-8/UTF-16 helpers
 * it is built from.
 */
#ifndef ARVEX_UNICODE_H
#define ARVEX_UNICODE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Compose every run of octal escapes of in[0..length) to NFC and write the
   text, escapes re-encoded, to out. Everything outside the escape runs is
   copied unchanged, NUL bytes included.

   in must hold length bytes; the decoder's look-ahead past the last byte
   reads zeros and never touches memory beyond in + length. out receives at
   most outCapacity bytes and is not terminated (callers zero it first).

   Returns 1 when every run was composed and the whole text fitted; -1 for
   NULL arguments, exhausted memory, a run that could not be composed (that
   run is left out of out) or a text that would not fit in outCapacity (the
   conversion stops there). On -1 callers keep their uncomposed text.
   A length of 0 or less gives 1 and writes nothing. */
int convertUTF8MACtoUTF8(int length, const char *in, char *out, size_t outCapacity);

/* NFC of inBytes bytes of UTF-16 into out, at most outCapacity bytes; the
   length written, in bytes, goes to *outBytes (when not NULL). 1 on success;
   -1 for NULL in or out, an output that does not fit, an unpaired surrogate
   or a failure of the normaliser. */
int normalizeUnicode(const uint16_t *in, int inBytes, uint16_t *out, int outCapacity, int *outBytes);

/* UTF-8 bytes of one UTF-16 unit into out[0..3): returns 0 for the unit 0
   or a NULL out, else 1, 2 or 3. Surrogates are encoded one by one. */
int convertUtf16ToUtf8(char *out, uint16_t unit);

/* UTF-16 unit of a UTF-8 sequence of count (1..3) bytes, without checking
   the continuation bytes; 0 for any other count or NULL bytes. */
uint16_t convertUtf8toUtf16(const unsigned char *bytes, int count);

/* 1 when text[pos], text[pos+1] and text[pos+2] are all octal digits. Stops
   at the first byte that is not, so it never reads past a terminator. */
int isUTF8ConvertTarget(const char *text, int pos);

/* Write the octal digits of value right-aligned into out[0..3) (the caller
   fills it with "000" first). Returns the number of digits written: 0 for a
   value of 0 or less, -1 for a NULL out; values above 511 keep their last
   three digits. */
int convertOctalNotation(int value, char *out);

/* Compose buf[p..size) in place, where p is the first occurrence of marker
   (searched below size - strlen(marker)). *end (when not NULL) receives p +
   the composed text's length, or size when it fills the tail. Returns 1 on
   success, 0 when the marker is absent or the composition fails (buf is then
   unchanged). A composed tail longer than the original fails. */
int encodeNFC(const char *marker, char *buf, int size, int *end);

#ifdef __cplusplus
}
#endif

#endif
