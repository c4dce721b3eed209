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
#include <utility>

#include "FuzzInput.h"

namespace {

// Up to four values are passed, in the order text, number, text, number.
constexpr int kSlots = 4;

// fmt rewritten so that its conversions match the slot types, later ones
// becoming "%%", and the expansion of that format without any bound.
std::pair<std::string, std::string> fitAndExpand(const std::string &fmt, const std::string &lf, const char *s0, int d1,
                                                 const char *s2, int d3)
{
  std::string fitted, expanded;
  int slot = 0;
  for (size_t i = 0; i < fmt.size(); ++i) {
    const char next = i + 1 < fmt.size() ? fmt[i + 1] : '\0';
    if (fmt[i] != '%') {
      fitted += fmt[i];
      expanded += fmt[i] == '\n' ? lf : std::string(1, fmt[i]);
    } else if ((next == 'd' || next == 's') && slot < kSlots) {
      fitted += slot % 2 == 0 ? "%s" : "%d";
      expanded += slot == 0 ? s0 : slot == 1 ? std::to_string(d1) : slot == 2 ? s2 : std::to_string(d3);
      ++slot;
      ++i;
    } else if (next == 'd' || next == 's' || next == '%') {
      fitted += "%%";
      expanded += '%';
      ++i;
    } else {
      fitted += '%';
      expanded += '%';
    }
  }
  return {fitted, expanded};
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
  const std::string raw = piece(data, size);
  const std::string s0 = piece(data, size);
  const std::string s2 = piece(data, size);
  const auto [fmt, expansion] = fitAndExpand(raw, lf, s0.c_str(), d1, s2.c_str(), d3);

  std::unique_ptr<char[]> storage(new char[capacity]);
  std::memset(storage.get(), 'p', already);
  storage[already] = '\0';
  InsertBuffer buf{storage.get(), capacity, storage.get() + already};
  lfsprintf(lf.c_str(), &buf, fmt.c_str(), s0.c_str(), d1, s2.c_str(), d3);

  const size_t length = strnlen(storage.get(), capacity);
  if (length >= capacity || buf.cursor != storage.get() + length)
    abort();
  const std::string expected = (std::string(already, 'p') + expansion).substr(0, capacity - 1);
  if (std::string(storage.get(), length) != expected)
    abort();
  return 0;
}
