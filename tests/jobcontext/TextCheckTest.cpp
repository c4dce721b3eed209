// Custom-text checks and the CUPS version read from SOFTWARE.

#include <arvex/textcheck.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

int flagFor(const char *software)
{
  if (software)
    setenv("SOFTWARE", software, 1);
  else
    unsetenv("SOFTWARE");
  return getCupsVersion();
}

TEST(CupsVersion, ReadsMajorAndMinor)
{
  EXPECT_EQ(CUPSVersion("CUPS/2.2.7"), 202);
  EXPECT_EQ(CUPSVersion("CUPS/2.0"), 200);
  EXPECT_EQ(CUPSVersion("CUPS/1.7.5"), 107);
  EXPECT_EQ(CUPSVersion("CUPS/2.150"), 299);
  EXPECT_EQ(CUPSVersion("CUPS/3"), 300);
  EXPECT_EQ(CUPSVersion("cups/2.4"), 0);
  EXPECT_EQ(CUPSVersion(nullptr), 0);
}

TEST(CupsVersion, FlagIsSetAboveTwoPointZero)
{
  EXPECT_EQ(flagFor("CUPS/2.2.7"), 1);
  EXPECT_EQ(flagFor("CUPS/2.1"), 1);
  EXPECT_EQ(flagFor("CUPS/2.0"), 0);
  EXPECT_EQ(flagFor("CUPS/1.7.5"), 0);
  EXPECT_EQ(flagFor(nullptr), 0);
}

TEST(CustomText, PrintableAsciiWithinBounds)
{
  EXPECT_EQ(isValidCustomText("", 0, 128), 1);
  EXPECT_EQ(isValidCustomText("", 1, 128), 0);
  EXPECT_EQ(isValidCustomText(std::string(128, 'a').c_str(), 1, 128), 1);
  EXPECT_EQ(isValidCustomText(std::string(129, 'a').c_str(), 1, 128), 0);
  EXPECT_EQ(isValidCustomText("a\tb", 0, 128), 0);
  EXPECT_EQ(isValidCustomText("a\x7f", 0, 128), 0);
  EXPECT_EQ(isValidCustomText("caf\xc3\xa9", 0, 128), 0);
  EXPECT_EQ(isValidCustomText(" ~", 0, 128), 1);
  EXPECT_EQ(isValidCustomText(nullptr, 0, 128), 0);
}

}  // namespace
