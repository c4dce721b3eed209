// Fuzz target: the marking-text appends with any count and capacity (a whole
// marking text is fuzzed through its callers by fuzz_job_control). Checks that
// the buffer stays terminated inside its capacity and that the decoded byte
// count keeps its bounds.

#include <arvex/marking.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  if (size < 3)
    return 0;
  const int op = data[0] % 4;
  const int count = static_cast<int>(data[1] % 72) - 4;  // -4 .. 67
  const size_t capacity = data[2] % 2 ? 1025 : data[2] / 2;
  data += 3;
  size -= 3;
  const std::string text = piece(data, size);

  std::unique_ptr<char[]> storage(new char[capacity > 0 ? capacity : 1]);
  std::memset(storage.get(), 0, capacity > 0 ? capacity : 1);
  InsertBuffer buf{storage.get(), capacity, storage.get()};

  int result = 0;
  switch (op) {
  case 0:
    strcatOctet(&buf, text.c_str());
    break;
  case 1:
    result = addJobName(text.c_str(), &buf, count);
    if (count >= 0 && count <= 63 && result != -1 && (result < count || result > 64))
      abort();
    break;
  case 2:
    result = addPPDUtf8Text(text.c_str(), &buf, count);
    if (count >= 0 && count <= 64 && result != -1 && (result < count || result > 64))
      abort();
    // Every decoded byte is one four-character escape.
    if (capacity == 1025 && result >= 0 && count >= 0 && std::strlen(storage.get()) != 4u * (result - count))
      abort();
    break;
  default:
    result = addLiteralText(text.c_str(), &buf, count);
    if (count >= 0 && count <= 64 && (result < count || result > 64))
      abort();
    if (capacity == 1025 && count >= 0 && count <= 64 &&
        std::strlen(storage.get()) != static_cast<size_t>(result - count))
      abort();
    break;
  }
  if (capacity > 0 && strnlen(storage.get(), capacity) >= capacity)
    abort();
  return 0;
}
