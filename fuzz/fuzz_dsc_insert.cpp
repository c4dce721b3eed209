// Fuzz target: the job data of a PostScript job, which anyone who may print
// controls, through the insertion rules. The same input read at once and a
// few bytes at a time must give the same bytes, pages and result; without
// ESC and ^D in it (nothing to strip), taking the two texts back out must
// give the input again, up to the line end put before a text that follows
// an unended last line.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "../tests/support/arvex/byte_streams.h"

namespace {

namespace ps = arvex::ps;

const std::string kComments = "%%\x01comments\x01\n", kBlock = "\x01{block}\x01\n";

std::string insert(const std::string &input, size_t piece, int &pages)
{
  arvex::test::PieceSource in(input, piece);
  ps::DscInserter inserter(in);
  const ps::InputKind kind = inserter.readHead();
  if (kind != ps::InputKind::PostScript)
    return "!" + std::string(ps::describeInput(kind));
  arvex::test::StringSink out;
  const ps::CopyResult result = inserter.copy(out, {kComments, kBlock, "\n"}, [&] { ++pages; });
  return std::to_string(static_cast<int>(result)) + out.text;
}

void erase(std::string &text, const std::string &part)
{
  const size_t at = text.find(part);
  if (at == std::string::npos)
    std::abort();
  text.erase(at, part.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  if (size < 1)
    return 0;
  const size_t piece = 1 + data[0] % 13;
  const std::string input(reinterpret_cast<const char *>(data + 1), size - 1);
  int wholePages = 0, piecePages = 0;
  const std::string whole = insert(input, input.size() + 1, wholePages);
  if (whole != insert(input, piece, piecePages) || wholePages != piecePages)
    std::abort();
  if (whole[0] == '!' || input.find_first_of(std::string("\x1b\x04\x01", 3)) != std::string::npos)
    return 0;
  std::string back = whole.substr(1);
  erase(back, kComments);
  erase(back, kBlock);
  const bool unended = !input.empty() && input.back() != '\n' && input.back() != '\r';
  if (back != input && !(unended && back == input + "\n"))
    std::abort();
  return 0;
}
