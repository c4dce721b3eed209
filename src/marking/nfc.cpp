// Canonical composition of marking text. Text from a macOS host may carry
// characters in decomposed form (a base letter followed by combining
// marks). The marking text holds UTF-8 as PostScript octal escapes, so each
// run of escapes is decoded to UTF-16, composed to Normalization Form C by
// ICU, and written back as escapes; everything else is copied as it is.

#include <arvex/unicode.h>

#include <cstring>
#include <memory>
#include <new>
#include <string_view>

#include <unicode/unorm2.h>
#include <unicode/utf16.h>

#include "../jobcontext/bounded_text.h"

namespace {

bool isOctalDigit(unsigned char c)
{
  return c >= '0' && c <= '7';
}

// The escaped input. Positions past its length read as zero bytes, so the
// decoder may look ahead freely without leaving the caller's buffer.
class EscapedInput {
public:
  EscapedInput(const char *text, long length) : text_(text), length_(length) {}

  long length() const { return length_; }

  unsigned char at(long i) const { return i >= 0 && i < length_ ? static_cast<unsigned char>(text_[i]) : 0; }

  // Three octal digits follow the backslash at p.
  bool escapeAt(long p) const { return isOctalDigit(at(p + 1)) && isOctalDigit(at(p + 2)) && isOctalDigit(at(p + 3)); }

  // Byte value of the escape at p; escapes above 377 wrap.
  unsigned escapeValue(long p) const
  {
    return static_cast<unsigned>((at(p + 1) - '0') * 64 + (at(p + 2) - '0') * 8 + (at(p + 3) - '0')) & 0xFFu;
  }

  // Six payload bits of a continuation escape at p. Its digits are not
  // checked and its first digit does not matter.
  unsigned continuationBits(long p) const
  {
    return static_cast<unsigned>((at(p + 2) - '0') * 8 + (at(p + 3) - '0')) & 0x3Fu;
  }

private:
  const char *text_;
  long length_;
};

// UTF-16 work space for one call, exactly units long, so that a write past
// it is a heap overflow that AddressSanitizer sees. Empty when the memory
// is exhausted.
std::unique_ptr<UChar[]> unitBuffer(size_t units)
{
  return std::unique_ptr<UChar[]>(new (std::nothrow) UChar[units]);
}

// An unpaired surrogate has no character to compose; treat it as a failure.
bool hasUnpairedSurrogate(const UChar *units, int32_t count)
{
  for (int32_t i = 0; i < count; ++i) {
    if (U16_IS_LEAD(units[i]) && i + 1 < count && U16_IS_TRAIL(units[i + 1]))
      ++i;
    else if (U16_IS_SURROGATE(units[i]))
      return true;
  }
  return false;
}

// NFC of count units into out (capacity units). Number of units written,
// or -1 when the text can't be composed or does not fit.
int32_t composeUnits(const UChar *in, int32_t count, UChar *out, int32_t capacity)
{
  if (count == 0)
    return 0;
  if (hasUnpairedSurrogate(in, count))
    return -1;
  UErrorCode status = U_ZERO_ERROR;
  const UNormalizer2 *nfc = unorm2_getNFCInstance(&status);
  if (U_FAILURE(status))
    return -1;
  const int32_t written = unorm2_normalize(nfc, in, count, out, capacity, &status);
  if (U_FAILURE(status))
    return -1;  // U_BUFFER_OVERFLOW_ERROR included
  return written;
}

// Decode the run of escapes starting at the backslash at p into units.
// Returns the position where the run ended.
long decodeRun(const EscapedInput &in, long p, UChar *units, int32_t &count)
{
  count = 0;
  for (;;) {
    if (!in.escapeAt(p))
      return p;
    const unsigned b0 = in.escapeValue(p);
    unsigned unit = 0;
    if (b0 < 0xC0) {
      // ASCII, or a stray continuation byte that keeps its low seven bits.
      unit = b0 & 0x7F;
      p += 4;
    } else if (b0 < 0xE0) {
      if (in.at(p + 4) != '\\')
        return p + 4;  // lead without continuation: dropped
      unit = ((b0 & 0x1F) << 6) | in.continuationBits(p + 4);
      p += 8;
    } else {
      // Three-byte characters; a four-byte lead is read the same way and
      // its last byte then stands alone.
      if (in.at(p + 4) != '\\')
        return p + 4;
      if (in.at(p + 8) != '\\')
        return p + 8;
      unit = ((b0 & 0x0F) << 12) | (in.continuationBits(p + 4) << 6) | in.continuationBits(p + 8);
      p += 12;
    }
    units[count++] = static_cast<UChar>(unit);
    if (in.at(p) != '\\')
      return p;
  }
}

// Write composed units as escapes of their UTF-8 bytes, all or nothing.
bool writeUnits(arvex::BoundedAppender &out, const UChar *units, int32_t count)
{
  size_t needed = 0;
  char bytes[3];
  for (int32_t i = 0; i < count; ++i)
    needed += 4 * static_cast<size_t>(convertUtf16ToUtf8(bytes, units[i]));
  if (needed > out.room())
    return false;
  for (int32_t i = 0; i < count; ++i) {
    const int n = convertUtf16ToUtf8(bytes, units[i]);
    for (int k = 0; k < n; ++k)
      out.appendEscape(static_cast<unsigned char>(bytes[k]));
  }
  return true;
}

}  // namespace

extern "C" {

// Compose the escape runs of an escaped text (see unicode.h).
int convertUTF8MACtoUTF8(int length, const char *in, char *out, size_t outCapacity)
{
  if (!in || !out)
    return -1;
  if (length <= 0)
    return 1;

  // A run holds at most one unit per four input characters; one unit per
  // input byte leaves room for any composition (NFC at most triples a text
  // in UTF-16 units).
  const std::unique_ptr<UChar[]> decoded = unitBuffer(static_cast<size_t>(length));
  const std::unique_ptr<UChar[]> composed = unitBuffer(static_cast<size_t>(length));
  if (!decoded || !composed)
    return -1;

  const EscapedInput input(in, length);
  arvex::BoundedAppender output(out, outCapacity, 0, arvex::BoundedAppender::Ends::Unterminated);
  int result = 1;
  long r = 0;
  while (r < input.length()) {
    const unsigned char c = input.at(r);
    if (c != '\\') {
      if (!output.appendWhole(static_cast<char>(c)))
        return -1;
      ++r;
      continue;
    }
    if (!input.escapeAt(r)) {
      // An escaped backslash or a character escape passes whole, so its
      // second byte is never taken for the start of an escape.
      if (!output.appendWhole('\\'))
        return -1;
      if (r + 1 < input.length() && !output.appendWhole(static_cast<char>(input.at(r + 1))))
        return -1;
      r += 2;
      continue;
    }
    int32_t count = 0;
    r = decodeRun(input, r, decoded.get(), count);
    const int32_t written = composeUnits(decoded.get(), count, composed.get(), length);
    if (written < 0) {
      result = -1;  // the run is left out; the rest is still converted
      continue;
    }
    if (!writeUnits(output, composed.get(), written))
      return -1;
  }
  return result;
}

// NFC of a UTF-16 text with the output capacity in bytes.
int normalizeUnicode(const uint16_t *in, int inBytes, uint16_t *out, int outCapacity, int *outBytes)
{
  if (!in || !out || inBytes < 0 || outCapacity < 0)
    return -1;
  const int32_t inUnits = inBytes / 2;
  const int32_t outUnits = outCapacity / 2;
  // ICU's UChar is its own type; the caller's units are copied rather than
  // reinterpreted.
  const std::unique_ptr<UChar[]> source = unitBuffer(static_cast<size_t>(inUnits));
  const std::unique_ptr<UChar[]> target = unitBuffer(static_cast<size_t>(outUnits));
  if (!source || !target)
    return -1;
  for (int32_t i = 0; i < inUnits; ++i)
    source[i] = static_cast<UChar>(in[i]);
  const int32_t written = composeUnits(source.get(), inUnits, target.get(), outUnits);
  if (written < 0)
    return -1;
  for (int32_t i = 0; i < written; ++i)
    out[i] = static_cast<uint16_t>(target[i]);
  if (outBytes)
    *outBytes = written * 2;
  return 1;
}

// UTF-8 bytes of one UTF-16 unit.
int convertUtf16ToUtf8(char *out, uint16_t unit)
{
  if (!out || unit == 0)
    return 0;
  if (unit < 0x80) {
    out[0] = static_cast<char>(unit);
    return 1;
  }
  if (unit < 0x800) {
    out[0] = static_cast<char>(0xC0 | (unit >> 6));
    out[1] = static_cast<char>(0x80 | (unit & 0x3F));
    return 2;
  }
  out[0] = static_cast<char>(0xE0 | (unit >> 12));
  out[1] = static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
  out[2] = static_cast<char>(0x80 | (unit & 0x3F));
  return 3;
}

// UTF-16 unit of a one- to three-byte UTF-8 sequence.
uint16_t convertUtf8toUtf16(const unsigned char *bytes, int count)
{
  if (!bytes)
    return 0;
  switch (count) {
  case 1:
    return static_cast<uint16_t>(bytes[0] & 0x7F);
  case 2:
    return static_cast<uint16_t>(((bytes[0] & 0x1F) << 6) | (bytes[1] & 0x3F));
  case 3:
    return static_cast<uint16_t>(((bytes[0] & 0x0F) << 12) | ((bytes[1] & 0x3F) << 6) | (bytes[2] & 0x3F));
  default:
    return 0;
  }
}

// Three octal digits at pos.
int isUTF8ConvertTarget(const char *text, int pos)
{
  if (!text || pos < 0)
    return 0;
  for (int i = 0; i < 3; ++i)
    if (!isOctalDigit(static_cast<unsigned char>(text[pos + i])))
      return 0;
  return 1;
}

// Octal digits of value, right-aligned in three characters.
int convertOctalNotation(int value, char *out)
{
  if (!out)
    return -1;
  int written = 0;
  for (int i = 2; i >= 0 && value > 0; --i, value >>= 3) {
    out[i] = static_cast<char>('0' + (value & 7));
    ++written;
  }
  return written;
}

// Compose the tail of buf that starts at the first occurrence of marker.
int encodeNFC(const char *marker, char *buf, int size, int *end)
{
  if (!marker || !buf)
    return 0;
  const size_t m = std::strlen(marker);
  if (size <= 0 || m >= static_cast<size_t>(size))
    return 0;

  const size_t limit = static_cast<size_t>(size) - m;
  size_t p = 0;
  while (p < limit && std::memcmp(buf + p, marker, m) != 0)
    ++p;
  if (p >= limit)
    return 0;

  const size_t tail = static_cast<size_t>(size) - p;
  std::unique_ptr<char[]> copy(new (std::nothrow) char[tail]);
  std::unique_ptr<char[]> composed(new (std::nothrow) char[tail]());
  if (!copy || !composed)
    return 0;
  std::memcpy(copy.get(), buf + p, tail);
  if (convertUTF8MACtoUTF8(static_cast<int>(tail), copy.get(), composed.get(), tail) != 1)
    return 0;

  std::memcpy(buf + p, composed.get(), tail);
  const size_t composedLength = strnlen(composed.get(), tail);
  if (end)
    *end = composedLength < tail ? static_cast<int>(p + composedLength) : size;
  return 1;
}

}  // extern "C"
