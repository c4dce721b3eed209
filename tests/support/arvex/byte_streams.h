// Byte streams for the PostScript insertion unit: a source that hands out a text in pieces of at most piece bytes
// (and fails from byte failAt on), a sink that keeps what it gets (and fails past limit bytes).
#ifndef ARVEX_TEST_BYTE_STREAMS_H
#define ARVEX_TEST_BYTE_STREAMS_H

#include <algorithm>
#include <cstdint>
#include <string>

#include "../../../src/postscript/dsc_insert.h"

namespace arvex::test {

class PieceSource : public arvex::ps::ByteSource {
public:
  PieceSource(std::string data, size_t piece, size_t failAt = SIZE_MAX)
      : data_(std::move(data)), piece_(piece), failAt_(failAt)
  {
  }
  ssize_t read(char *out, size_t size) override
  {
    if (at_ >= failAt_)
      return -1;
    const size_t n = std::min({size, piece_, data_.size() - at_, failAt_ - at_});
    data_.copy(out, n, at_);
    at_ += n;
    return static_cast<ssize_t>(n);
  }

private:
  std::string data_;
  size_t piece_, failAt_, at_ = 0;
};

class StringSink : public arvex::ps::ByteSink {
public:
  explicit StringSink(size_t limit = SIZE_MAX) : limit_(limit) {}
  bool write(const char *data, size_t size) override
  {
    if (text.size() + size > limit_)
      return false;
    text.append(data, size);
    return true;
  }
  std::string text;

private:
  size_t limit_;
};

}  // namespace arvex::test

#endif
