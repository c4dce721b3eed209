// lfsprintf and getLinefeedCode: conversions, line ends, bounds.

#include <arvex/buffer.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// An InsertBuffer over a vector with guard bytes behind its capacity.
struct TestBuffer {
  explicit TestBuffer(size_t capacity) : storage(capacity + 8, '#')
  {
    std::memset(storage.data(), 0, capacity);
    buf = {storage.data(), capacity, storage.data()};
  }
  std::string text() const { return std::string(buf.start); }
  bool guardIntact() const
  {
    for (size_t i = buf.capacity; i < storage.size(); ++i)
      if (storage[i] != '#')
        return false;
    return true;
  }
  std::vector<char> storage;
  InsertBuffer buf;
};

std::string linefeedOf(const std::string &sample)
{
  LinefeedCode lf = {};
  InsertBuffer holder = {lf, sizeof(lf), lf};
  getLinefeedCode(sample.data(), &holder, static_cast<int32_t>(sample.size()));
  return lf;
}

TEST(Lfsprintf, ConvertsOnlyDecimalTextAndPercent)
{
  TestBuffer b(256);
  lfsprintf("\n", &b.buf, "n=%d s=%s p=100%% neg=%d", 42, "abc", -7);
  EXPECT_EQ(b.text(), "n=42 s=abc p=100% neg=-7");
  EXPECT_EQ(b.buf.cursor, b.buf.start + b.text().size());
}

TEST(Lfsprintf, UnknownDirectivesStandForThemselves)
{
  TestBuffer b(256);
  // Called through a plain pointer: these are deliberately not printf
  // formats, and the compiler's printf checks don't apply.
  auto *format = &lfsprintf;
  format("\n", &b.buf, "a%xb%ld%");
  EXPECT_EQ(b.text(), "a%xb%ld%");
}

TEST(Lfsprintf, NewlinesBecomeTheLineFeedText)
{
  TestBuffer b(64);
  lfsprintf("\r\n", &b.buf, "a\nb");
  EXPECT_EQ(b.text(), "a\r\nb");
  lfsprintf("\r", &b.buf, "\n%s\n", "c");
  EXPECT_EQ(b.text(), "a\r\nb\rc\r");
  // CR and tab in the format are ordinary characters.
  lfsprintf("\n", &b.buf, "\t\r");
  EXPECT_EQ(b.text(), "a\r\nb\rc\r\t\r");
}

TEST(Lfsprintf, ConsecutiveCallsConcatenateAndEmptyFormatAppendsNothing)
{
  TestBuffer b(64);
  lfsprintf("\n", &b.buf, "%s", "one");
  char *after = b.buf.cursor;
  auto *format = &lfsprintf;
  format("\n", &b.buf, "");
  EXPECT_EQ(b.buf.cursor, after);
  lfsprintf("\n", &b.buf, "%s", "two");
  EXPECT_EQ(b.text(), "onetwo");
  EXPECT_EQ(*b.buf.cursor, '\0');
}

TEST(Lfsprintf, CutsAtCapacityAndStaysTerminated)
{
  TestBuffer b(16);
  lfsprintf("\n", &b.buf, "%s", "123456");  // 10 bytes of room remain
  lfsprintf("\n", &b.buf, "%s", "abcdefghijklmnop");
  EXPECT_EQ(b.text(), "123456abcdefghi");  // 9 of them used, then the terminator
  EXPECT_EQ(b.buf.cursor, b.buf.start + 15);
  EXPECT_TRUE(b.guardIntact());
  // A full buffer takes nothing more, even a line end.
  lfsprintf("\r\n", &b.buf, "\nmore %d", 5);
  EXPECT_EQ(b.text(), "123456abcdefghi");
  EXPECT_TRUE(b.guardIntact());
}

TEST(Lfsprintf, LineFeedTextIsCutToo)
{
  TestBuffer b(3);
  lfsprintf("\r\n", &b.buf, "a\n");
  EXPECT_EQ(b.text(), "a\r");
  EXPECT_TRUE(b.guardIntact());
}

TEST(Lfsprintf, IgnoresMissingBufferAndCursorOutsideStorage)
{
  lfsprintf("\n", nullptr, "x");
  TestBuffer b(8);
  b.buf.cursor = b.buf.start + 8;  // past the last byte a terminator may use
  lfsprintf("\n", &b.buf, "x");
  EXPECT_TRUE(b.guardIntact());
}

TEST(LinefeedCode, FollowsTheFirstTrustedLineEnd)
{
  EXPECT_EQ(linefeedOf("A\r\nB"), "\r\n");
  EXPECT_EQ(linefeedOf("A\r\n"), "\n");  // no byte after the LF
  EXPECT_EQ(linefeedOf("A\rBC"), "\r");
  EXPECT_EQ(linefeedOf("A\rB"), "\n");  // a lone CR needs two bytes after it
  EXPECT_EQ(linefeedOf("\nA\r\nB"), "\r\n");  // a leading LF is not a line end
  EXPECT_EQ(linefeedOf("\r\nX"), "\r\n");  // a leading CR is
  EXPECT_EQ(linefeedOf("AB\nC\r\nD"), "\n");
  EXPECT_EQ(linefeedOf("no line end"), "\n");
  EXPECT_EQ(linefeedOf(""), "\n");
}

TEST(LinefeedCode, EmptySampleAndSmallHolder)
{
  LinefeedCode lf = {'x', 'x', 'x'};
  InsertBuffer holder = {lf, sizeof(lf), lf};
  getLinefeedCode(nullptr, &holder, 10);
  EXPECT_STREQ(lf, "\n");
  EXPECT_EQ(holder.cursor, lf);

  char two[2] = {'x', 'x'};
  InsertBuffer small = {two, sizeof(two), two};
  getLinefeedCode("A\r\nB", &small, 4);
  EXPECT_EQ(std::string(two, 2), std::string("\r\0", 2));
}

}  // namespace
