// Splitting a fuzzer's input into texts, shared by the targets.
#ifndef ARVEX_FUZZ_INPUT_H
#define ARVEX_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

// The next text of the input: the bytes up to the next NUL (or the end),
// which are consumed together with that NUL.
inline std::string piece(const uint8_t *&data, size_t &size)
{
  const auto *end = static_cast<const uint8_t *>(std::memchr(data, 0, size));
  const size_t n = end ? static_cast<size_t>(end - data) : size;
  std::string text(reinterpret_cast<const char *>(data), n);
  data += n < size ? n + 1 : n;
  size -= n < size ? n + 1 : n;
  return text;
}

#endif
