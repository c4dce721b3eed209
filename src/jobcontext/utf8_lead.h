// The length a UTF-8 lead byte announces, as the device-text cut and the
// marking-text appends read it: the old six-byte forms included, nothing
// about the following bytes checked.
#ifndef ARVEX_UTF8_LEAD_H
#define ARVEX_UTF8_LEAD_H

namespace arvex::utf8 {

// Length of the sequence that lead byte b starts (1 to 6), 0 when b cannot
// start one (a continuation byte, 0xFE or 0xFF).
inline int sequenceLength(unsigned char b)
{
  if (b < 0x80)
    return 1;
  if ((b & 0xE0) == 0xC0)
    return 2;
  if ((b & 0xF0) == 0xE0)
    return 3;
  if ((b & 0xF8) == 0xF0)
    return 4;
  if ((b & 0xFC) == 0xF8)
    return 5;
  if ((b & 0xFE) == 0xFC)
    return 6;
  return 0;
}

}  // namespace arvex::utf8

#endif
