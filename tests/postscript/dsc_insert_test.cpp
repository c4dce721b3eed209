// The insertion rules over byte buffers: each input shape → where the comment lines and the block land, every
// other byte unchanged; each read in pieces of several sizes, so that lines, line ends and exit languages also
// fall across reads.

#include "dsc_insert.h"

#include <arvex/buffer.h>

#include "arvex/byte_streams.h"
#include "arvex/test.h"

#include <tuple>

namespace {

using namespace arvex::test;
namespace ps = arvex::ps;

// What the printer gets for input read piece bytes at a time: "=" and the bytes, or "!" and why nothing.
struct Printed {
  std::string text;
  int pages = 0;
};

Printed insert(const std::string &input, size_t piece)
{
  PieceSource in(input, piece);
  ps::DscInserter inserter(in);
  const ps::InputKind kind = inserter.readHead();
  if (kind != ps::InputKind::PostScript)
    return {std::string("!") + ps::describeInput(kind)};
  LinefeedCode lf = {};
  InsertBuffer lfBuffer = {lf, sizeof(lf), lf};
  const std::string_view sample = inserter.sample();
  getLinefeedCode(sample.data(), &lfBuffer, static_cast<int32_t>(sample.size()));
  const std::string comments = std::string("%%Comments") + lf, block = std::string("{block}") + lf;
  StringSink out;
  Printed printed;
  const ps::CopyResult result = inserter.copy(out, {comments, block, lf}, [&] { ++printed.pages; });
  printed.text = result == ps::CopyResult::SecondJob ? "!two jobs in one" : "=" + out.text;
  EXPECT_TRUE(result == ps::CopyResult::Done || result == ps::CopyResult::SecondJob);
  return printed;
}

// "before X; after Y[; no ^D]": the input with the comments before its first line X and the block after its
// first line Y, lines ended with LF.
std::string byRule(std::string input, const std::string &rule)
{
  auto lineAt = [&input](const std::string &line) {
    const size_t at = ("\n" + input).find("\n" + line + "\n");
    EXPECT_NE(at, std::string::npos) << line;
    return at;
  };
  const size_t semi = rule.find("; ");
  const std::string before = rule.substr(7, semi - 7);
  std::string after = rule.substr(semi + 8);
  const bool noCtrlD = after.ends_with("; no ^D");
  if (noCtrlD) {
    after.resize(after.size() - 7);
    EXPECT_EQ(input.back(), '\x04');
    input.pop_back();
  }
  const size_t blockAt = lineAt(after) + after.size() + 1;
  input.insert(blockAt, "{block}\n");
  input.insert(lineAt(before), "%%Comments\n");
  return "=" + input;
}

TEST(DscInsert, EachShapeGetsItsTextsInPlace)
{
  for (const std::string section : {"shapes", "refused", "tools"}) {
    for (const CaseRow &c : caseTable("dsc-insert.txt#" + section, 3)) {
      const std::string input = c[0].starts_with("$ ") ? shell(c[0].substr(2)) : c[0];
      ASSERT_FALSE(c[0].starts_with("$ ") && input.empty()) << c.where << ": the tool wrote nothing";
      const std::string expected = c[1][0] == '=' || c[1][0] == '!' ? c[1] : byRule(input, c[1]);
      for (const size_t piece : {size_t{1}, size_t{7}, size_t{4096}, size_t{1} << 20}) {
        const Printed printed = insert(input, piece);
        EXPECT_EQ(printed.text, expected) << c.where << ", read " << piece << " bytes at a time";
        EXPECT_EQ(printed.pages, std::atoi(c[2].c_str())) << c.where;
      }
    }
  }
}

TEST(DscInsert, FailuresAreReported)
{
  const std::string job = "%!PS-Adobe-3.0\n%%EndComments\n%%BeginSetup\n" + std::string(200000, 'x') + "\n";
  for (const auto &[failAt, limit, expected] : {std::tuple(size_t{100000}, SIZE_MAX, ps::CopyResult::ReadFailed),
                                                std::tuple(SIZE_MAX, size_t{50000}, ps::CopyResult::WriteFailed)}) {
    PieceSource in(job, 4096, failAt);
    ps::DscInserter inserter(in);
    StringSink out(limit);
    EXPECT_EQ(inserter.readHead(), ps::InputKind::PostScript);
    EXPECT_EQ(inserter.copy(out, {"%%C\n", "B\n", "\n"}), expected);
  }
  PieceSource unreadable(job, 4096, 0);
  EXPECT_EQ(ps::DscInserter(unreadable).readHead(), ps::InputKind::Unreadable);
}

}  // namespace
