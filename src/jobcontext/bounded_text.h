// Bounded text: copies with the semantics of BSD strlcpy/strlcat, and the
// one appender every writer of bounded text uses. Nothing is ever written
// past the store's capacity.
#ifndef ARVEX_BOUNDED_TEXT_H
#define ARVEX_BOUNDED_TEXT_H

#include <arvex/buffer.h>

#include <cstddef>
#include <cstring>
#include <string_view>

namespace arvex {

// Copy src into dst[0..size), always terminating (when size > 0). Returns
// the length the untruncated text would have had.
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

// Appends to a store of capacity bytes that already holds used bytes.
// Terminated: one byte stays for the terminator, written after every
// append, so the text is always terminated; Unterminated: every byte may
// be filled and no terminator is written. Appends either take what fits
// (append) or all or nothing (appendWhole), never more than the room.
class BoundedAppender {
public:
  enum class Ends { Terminated, Unterminated };

  BoundedAppender(char *store, size_t capacity, size_t used = 0, Ends ends = Ends::Terminated)
      : store_(store), capacity_(store ? capacity : 0), used_(used), reserve_(ends == Ends::Terminated ? 1 : 0)
  {
    terminate();
  }

  // The appender at an insertion buffer's cursor, its room the rest of the
  // buffer; no room when the cursor lies outside the storage.
  static BoundedAppender atCursor(InsertBuffer *buf)
  {
    if (!buf || !buf->start || !buf->cursor || buf->cursor < buf->start ||
        buf->cursor >= buf->start + buf->capacity)
      return BoundedAppender(nullptr, 0);
    return BoundedAppender(buf->cursor, static_cast<size_t>(buf->start + buf->capacity - buf->cursor));
  }

  // The appender after the terminated text at the start of an insertion
  // buffer (the cursor is not used).
  static BoundedAppender afterText(InsertBuffer *buf)
  {
    if (!buf || !buf->start)
      return BoundedAppender(nullptr, 0);
    return BoundedAppender(buf->start, buf->capacity, strnlen(buf->start, buf->capacity));
  }

  size_t room() const { return capacity_ >= used_ + reserve_ ? capacity_ - used_ - reserve_ : 0; }
  char *end() const { return store_ + used_; }

  void clear()
  {
    used_ = 0;
    terminate();
  }

  void append(std::string_view text)
  {
    const size_t n = text.size() < room() ? text.size() : room();
    if (n > 0)
      std::memcpy(store_ + used_, text.data(), n);
    used_ += n;
    terminate();
  }

  void append(char c) { append(std::string_view(&c, 1)); }

  // A terminated text, read no further than the room.
  void append(const char *text)
  {
    if (text)
      append(std::string_view(text, strnlen(text, room())));
  }

  bool appendWhole(std::string_view text)
  {
    if (text.size() > room())
      return false;
    append(text);
    return true;
  }

  bool appendWhole(char c) { return appendWhole(std::string_view(&c, 1)); }

  // The byte as a backslash and three octal digits, whole or not at all.
  bool appendEscape(unsigned char b)
  {
    const char escape[4] = {'\\', static_cast<char>('0' + (b >> 6)), static_cast<char>('0' + ((b >> 3) & 7)),
                            static_cast<char>('0' + (b & 7))};
    return appendWhole(std::string_view(escape, sizeof(escape)));
  }

private:
  void terminate()
  {
    if (reserve_ && used_ < capacity_)
      store_[used_] = '\0';
  }

  char *store_;
  size_t capacity_;
  size_t used_;
  size_t reserve_;
};

}  // namespace arvex

#endif
