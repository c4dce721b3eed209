// Searches over byte regions given by their first and last byte.

#include <arvex/buffer.h>

#include <cstddef>

namespace {

// Number of bytes in [pos, last]; 0 for an empty or reversed region.
ptrdiff_t regionSize(const char *pos, const char *last)
{
  return (pos && last && last >= pos) ? last - pos + 1 : 0;
}

bool isLineEnd(char c)
{
  return c == '\r' || c == '\n';
}

}  // namespace

extern "C" {

// Match search against the region from pos: 1 match, 0 differs, 2 too short.
int compareWithSearchString(const char *pos, const char *last, const char *search)
{
  if (!search)
    return 1;
  const ptrdiff_t size = regionSize(pos, last);
  for (ptrdiff_t i = 0; search[i]; ++i) {
    if (i >= size)
      return 2;
    if (pos[i] != search[i])
      return 0;
  }
  return 1;
}

// Skip to the first byte after the next run of CR/LF bytes, if any.
const char *searchNextHeadOfLine(const char *pos, const char *last)
{
  const ptrdiff_t size = regionSize(pos, last);
  ptrdiff_t i = 0;
  while (i < size && !isLineEnd(pos[i]))
    ++i;
  if (i >= size)
    return nullptr;
  while (i < size && isLineEnd(pos[i]))
    ++i;
  return i < size ? pos + i : nullptr;
}

}  // extern "C"
