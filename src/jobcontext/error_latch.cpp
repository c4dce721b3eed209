// The error latch shared by every writer, and the filter's error message.

#include <arvex/error.h>

#include <cstdio>
#include <cstring>

extern "C" {

__thread int err_no = 0;

// Keep the first failure of the run; later codes are dropped.
void latchError(int code)
{
  if (err_no == 0)
    err_no = code;
}

// Report message through perror(), behind "ERROR: ", 99 bytes at most.
void writeError(const char * /*module*/, int /*line*/, const char *message)
{
  char text[100] = "ERROR: ";
  if (message)
    std::strncat(text, message, sizeof(text) - std::strlen(text) - 1);
  std::perror(text);
}

}  // extern "C"
