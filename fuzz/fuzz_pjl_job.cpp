// Fuzz target: what anyone who may print controls on the PDF path. The job
// options, title and user of the input reach the job header, the PJL option
// pass and the authentication block over the fixture PPDs, in process. The
// insertion buffer is an exact-size heap block, so AddressSanitizer sees
// any access past it; the header must stay well formed.

#include <arvex/error.h>
#include <arvex/frame.h>
#include <arvex/pjl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "../src/pjl/option_pass.h"
#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  static const char *const kPpds[] = {"pjl-options.ppd", "pjl-userauth.ppd", "arvex-demo.ppd", "choices.ppd"};
  if (size < 2)
    return 0;
  const char *ppd = kPpds[data[0] % 4];
  const size_t capacity = 1 + data[1] * 16;  // 1 .. 4081 bytes
  data += 2;
  size -= 2;
  std::string options = piece(data, size);
  std::string title = piece(data, size);
  FuzzJob job(ppd, piece(data, size), title, options);
  if (!job.get())
    return 0;

  err_no = 0;
  char *text = nullptr;
  size_t length = 0;
  FILE *out = open_memstream(&text, &length);
  getInsertStringForStartPJL(job.get(), out);
  std::fflush(out);
  // UEL, the job name line and the user line, each value quoted.
  if (length > 1023 || std::strncmp(text, ARVEX_PJL_UEL "@PJL JOB NAME=\"", 24) != 0 ||
      std::strstr(text, "\"\n@PJL SET USERNAME=\"") == nullptr || std::strcmp(text + length - 2, "\"\n") != 0)
    abort();

  std::unique_ptr<char[]> storage(new char[capacity]());
  InsertBuffer insertion = {storage.get(), capacity, storage.get()};
  runPjlOptionPass(job.get(), out, &insertion, job.argv());
  if (insertion.cursor != insertion.start || storage[0] != '\0')
    abort();  // the pass leaves the buffer empty
  std::fclose(out);
  std::free(text);
  return 0;
}
