// Fuzz target: the job-control block of the library from fuzzed job
// options, title, user and job-data sample over the fixture PPDs, into an
// exact-size output block. The text must stay terminated inside it.

#include <arvex/error.h>
#include <arvex/jobcontrol.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  static const char *const kPpds[] = {"jobcontrol-colour.ppd", "jobcontrol-mono.ppd", "marking-settings.ppd",
                                      "marking-dom.ppd"};
  if (size < 3)
    return 0;
  const char *ppd = kPpds[data[0] % 4];
  const size_t capacity = 1 + (data[1] << 5 | data[2] >> 3);  // 1 .. 8192 bytes
  data += 3;
  size -= 3;
  std::string options = piece(data, size);
  std::string title = piece(data, size);
  std::string user = piece(data, size);
  const std::string sample = piece(data, size);
  FuzzJob job(ppd, user, title, options);

  std::unique_ptr<char[]> storage(new char[capacity]());
  InsertBuffer out = {storage.get(), capacity, storage.get()};
  err_no = 0;
  const int result = getInsertString(job.get(), &out, sample.data(), static_cast<int>(sample.size()));
  if ((result != 0 && result != 1) || strnlen(storage.get(), capacity) >= capacity ||
      out.cursor != storage.get() + std::strlen(storage.get()))
    abort();
  getInsertComment(job.get(), &out, sample.data(), static_cast<int>(sample.size()));
  if (strnlen(storage.get(), capacity) >= capacity)
    abort();
  return 0;
}
