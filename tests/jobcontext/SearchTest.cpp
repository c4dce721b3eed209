// compareWithSearchString and searchNextHeadOfLine over byte regions.

#include <arvex/buffer.h>

#include <gtest/gtest.h>

#include <string>

namespace {

int compare(const std::string &region, const char *search)
{
  return compareWithSearchString(region.data(), region.data() + region.size() - 1, search);
}

const char *nextLine(const std::string &region)
{
  return searchNextHeadOfLine(region.data(), region.data() + region.size() - 1);
}

TEST(CompareWithSearchString, MatchDifferAndShortRegion)
{
  EXPECT_EQ(compare("a", "ab"), 2);
  EXPECT_EQ(compare("ax", "ab"), 0);
  EXPECT_EQ(compare("abc", "ab"), 1);
  EXPECT_EQ(compare("abc", ""), 1);
  EXPECT_EQ(compare("xbc", "ab"), 0);  // the first byte already differs
}

TEST(SearchNextHeadOfLine, SkipsBlankLines)
{
  const std::string text = "ab\r\n\r\ncd";
  EXPECT_EQ(nextLine(text), text.data() + 6);
  EXPECT_EQ(nextLine("ab\r\n"), nullptr);
  EXPECT_EQ(nextLine("abcd"), nullptr);
  EXPECT_EQ(nextLine("ab\n"), nullptr);  // the line end is the last byte
  const std::string lf = "x\ny";
  EXPECT_EQ(nextLine(lf), lf.data() + 2);
}

TEST(SearchNextHeadOfLine, StaysInsideTheRegion)
{
  // The byte after the region's last byte must not be taken.
  const std::string text = "ab\nc";
  EXPECT_EQ(searchNextHeadOfLine(text.data(), text.data() + 2), nullptr);
  EXPECT_EQ(searchNextHeadOfLine(text.data(), text.data() - 1), nullptr);
}

}  // namespace
