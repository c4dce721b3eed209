// The error latch and the error message.

#include <arvex/error.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace {

TEST(ErrorLatch, FirstCodeWins)
{
  err_no = 0;
  latchError(ARVEX_ERR_NOOPTION);
  latchError(ARVEX_ERR_WRITE);
  latchError(ARVEX_ERR_MEMORY);
  EXPECT_EQ(err_no, ARVEX_ERR_NOOPTION);
  err_no = 0;
}

std::string errorLine(const char *message, int error)
{
  testing::internal::CaptureStderr();
  errno = error;
  writeError("Source/main", 551, message);
  return testing::internal::GetCapturedStderr();
}

TEST(WriteError, PrefixesMessageAndAddsTheSystemDescription)
{
  EXPECT_EQ(errorLine("ERROR: error in CUPS Filter - ", ENOENT),
            "ERROR: ERROR: error in CUPS Filter - : No such file or directory\n");
}

TEST(WriteError, CutsTheComposedTextTo99Bytes)
{
  const std::string message(150, 'm');
  EXPECT_EQ(errorLine(message.c_str(), EPIPE), "ERROR: " + std::string(92, 'm') + ": Broken pipe\n");
  const std::string fits(92, 'k');
  EXPECT_EQ(errorLine(fits.c_str(), EPIPE), "ERROR: " + fits + ": Broken pipe\n");
}

}  // namespace
