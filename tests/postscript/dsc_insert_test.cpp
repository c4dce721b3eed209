// The insertion rules over byte buffers: each input shape → where the comment lines and the block land, every
// other byte unchanged; each read in pieces of several sizes, so that lines, line ends and exit languages also
// fall across reads.

#include "dsc_insert.h"

#include <arvex/buffer.h>

#include "arvex/test.h"

#include <algorithm>

namespace {

using namespace arvex::test;
namespace ps = arvex::ps;

class PieceSource : public ps::ByteSource {
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

class StringSink : public ps::ByteSink {
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

const char *kindName(ps::InputKind kind)
{
  switch (kind) {
  case ps::InputKind::Pdf: return "pdf";
  case ps::InputKind::Pcl: return "pcl";
  case ps::InputKind::DosEps: return "dos-eps";
  case ps::InputKind::Empty: return "empty";
  case ps::InputKind::SecondJob: return "second-job";
  case ps::InputKind::Unreadable: return "unreadable";
  default: return "other";
  }
}

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
    return {std::string("!") + kindName(kind)};
  LinefeedCode lf = {};
  InsertBuffer lfBuffer = {lf, sizeof(lf), lf};
  const std::string_view sample = inserter.sample();
  getLinefeedCode(sample.data(), &lfBuffer, static_cast<int32_t>(sample.size()));
  const std::string comments = std::string("%%Comments") + lf, block = std::string("{block}") + lf;
  StringSink out;
  Printed printed;
  const ps::CopyResult result = inserter.copy(out, {comments, block, lf}, [&] { ++printed.pages; });
  printed.text = result == ps::CopyResult::SecondJob ? "!second-job" : "=" + out.text;
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

// Every comment, line end, ^D and exit language that matters, moved across the 64 KiB reads of both layers.
TEST(DscInsert, ReadBoundariesChangeNothing)
{
  for (size_t pad = 65500; pad < 65560; ++pad) {
    const std::string head = "%!PS-Adobe-3.0\r\n%%EndComments\r\n%" + std::string(pad, 'x') + "\r\n";
    const std::string input = head + "%%BeginSetup\r\n%%Page: 1 1\r\n%%EOF\r\n\x04\x1b%-12345X@PJL EOJ\r\n";
    const std::string expected = "=%!PS-Adobe-3.0\r\n%%Comments\r\n%%EndComments\r\n%" + std::string(pad, 'x') +
                                 "\r\n%%BeginSetup\r\n{block}\r\n%%Page: 1 1\r\n%%EOF\r\n";
    const Printed printed = insert(input, SIZE_MAX);
    EXPECT_EQ(printed.text, expected) << "padding " << pad;
    EXPECT_EQ(printed.pages, 1) << "padding " << pad;
  }
}

TEST(DscInsert, FailuresAreReported)
{
  const std::string job = "%!PS-Adobe-3.0\n%%EndComments\n%%BeginSetup\n" + std::string(200000, 'x') + "\n";
  PieceSource failing(job, 4096, 100000);
  ps::DscInserter reading(failing);
  ASSERT_EQ(reading.readHead(), ps::InputKind::PostScript);
  StringSink out;
  EXPECT_EQ(reading.copy(out, {"%%C\n", "B\n", "\n"}), ps::CopyResult::ReadFailed);

  PieceSource whole(job, 4096);
  ps::DscInserter writing(whole);
  ASSERT_EQ(writing.readHead(), ps::InputKind::PostScript);
  StringSink full(50000);
  EXPECT_EQ(writing.copy(full, {"%%C\n", "B\n", "\n"}), ps::CopyResult::WriteFailed);

  PieceSource unreadable(job, 4096, 0);
  EXPECT_EQ(ps::DscInserter(unreadable).readHead(), ps::InputKind::Unreadable);
}

}  // namespace
