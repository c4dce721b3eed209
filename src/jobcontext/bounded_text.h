// Bounded text copies with the semantics of BSD strlcpy/strlcat: the
// destination is always terminated (when size > 0) and never overrun; the
// result is the length the untruncated text would have had.
#ifndef ARVEX_BOUNDED_TEXT_H
#define ARVEX_BOUNDED_TEXT_H

#include <cstddef>
#include <cstring>

namespace arvex {

// Copy src into dst[0..size), always terminating.
inline size_t strlcpy(char *dst, const char *src, size_t size)
{
  const size_t len = std::strlen(src);
  if (size > 0) {
    const size_t n = len < size - 1 ? len : size - 1;
    std::memcpy(dst, src, n);
    dst[n] = '\0';
  }
  return len;
}

// Append src to the text in dst[0..size), always terminating.
inline size_t strlcat(char *dst, const char *src, size_t size)
{
  const size_t used = strnlen(dst, size);
  if (used == size)
    return size + std::strlen(src);
  return used + strlcpy(dst + used, src, size - used);
}

}  // namespace arvex

#endif
