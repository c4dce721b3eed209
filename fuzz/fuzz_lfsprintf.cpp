// Fuzz target: line-feed aware formatting. The result of a bounded append
// must be the start of what an unbounded append would give, computed here
// by a plain model of the format rules, and the cursor must sit on the
// terminator inside the buffer.

#include <arvex/buffer.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "FuzzInput.h"

namespace {

// Up to four values are passed, in the order text, number, text, number.
constexpr int kSlots = 4;

// Rewrite fmt so that its conversions match the slot types and there are at
// most kSlots of them; later ones become "%%".
std::string fitFormat(const std::string &fmt)
{
  std::string out;
  int slot = 0;
  for (size_t i = 0; i < fmt.size(); ++i) {
    if (fmt[i] != '%') {
      out += fmt[i];
      continue;
    }
    const char next = i + 1 < fmt.size() ? fmt[i + 1] : '\0';
    if (next == 'd' || next == 's') {
      out += slot < kSlots ? (slot % 2 == 0 ? "%s" : "%d") : "%%";
      ++slot;
      ++i;
    } else if (next == '%') {
      out += "%%";
      ++i;
    } else {
      out += '%';
    }
  }
  return out;
}

// The expansion of fmt without any bound.
std::string model(const std::string &lf, const std::string &fmt, const char *s0, int d1, const char *s2, int d3)
{
  std::string out;
  int slot = 0;
  for (size_t i = 0; i < fmt.size(); ++i) {
    const char c = fmt[i];
    const char next = i + 1 < fmt.size() ? fmt[i + 1] : '\0';
    if (c == '\n') {
      out += lf;
    } else if (c != '%') {
      out += c;
    } else if (next == 's') {
      out += slot == 0 ? s0 : s2;
      ++slot;
      ++i;
    } else if (next == 'd') {
      out += std::to_string(slot == 1 ? d1 : d3);
      ++slot;
      ++i;
    } else if (next == '%') {
      out += '%';
      ++i;
    } else {
      out += '%';
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  if (size < 11)
    return 0;
  const size_t capacity = 1 + data[0];
  const char *const lfs[] = {"\n", "\r", "\r\n"};
  const std::string lf = lfs[data[1] % 3];
  const size_t already = data[2] % capacity;  // text before the cursor
  int d1 = 0;
  int d3 = 0;
  std::memcpy(&d1, data + 3, sizeof(d1));
  std::memcpy(&d3, data + 7, sizeof(d3));
  data += 11;
  size -= 11;
  const std::string fmt = fitFormat(piece(data, size));
  const std::string s0 = piece(data, size);
  const std::string s2 = piece(data, size);

  std::unique_ptr<char[]> storage(new char[capacity]);
  std::memset(storage.get(), 'p', already);
  storage[already] = '\0';
  InsertBuffer buf{storage.get(), capacity, storage.get() + already};
  lfsprintf(lf.c_str(), &buf, fmt.c_str(), s0.c_str(), d1, s2.c_str(), d3);

  const size_t length = strnlen(storage.get(), capacity);
  if (length >= capacity || buf.cursor != storage.get() + length)
    abort();
  const std::string expected =
      (std::string(already, 'p') + model(lf, fmt, s0.c_str(), d1, s2.c_str(), d3)).substr(0, capacity - 1);
  if (std::string(storage.get(), length) != expected)
    abort();
  return 0;
}
