// Fuzz target: the marking-text appends and the assembly of a marking text
// from job options. Checks that the buffer stays terminated inside its
// capacity and that the decoded byte count keeps its bounds.

#include <arvex/error.h>
#include <arvex/marking.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "FuzzInput.h"

namespace {

const char *const kTextTypes[] = {"User Defined", "Login User Name", "PrintJob Name", "PrintJob Time",
                                  "Login User Name + PrintJob Name", "Login User Name + PrintJob Time",
                                  "PrintJob Name + PrintJob Time", "Login User Name + PrintJob Name + PrintJob Time"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  if (size < 3)
    return 0;
  const int op = data[0] % 5;
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
  case 3:
    result = addLiteralText(text.c_str(), &buf, count);
    if (count >= 0 && count <= 64 && (result < count || result > 64))
      abort();
    if (capacity == 1025 && count >= 0 && count <= 64 &&
        std::strlen(storage.get()) != static_cast<size_t>(result - count))
      abort();
    break;
  default: {
    // A whole marking text from job options on a job without PPD.
    const std::string user = piece(data, size);
    const std::string jobName = piece(data, size);
    JobInfo job = {};
    job.userName = user.c_str();
    job.jobTitle = text.c_str();
    job.numOptions = cupsAddOption("com.arvex.printsettings.CCPTextType", kTextTypes[count & 7], job.numOptions,
                                   &job.options);
    if (count & 8)
      job.numOptions = cupsAddOption("com.arvex.printsettings.CCPUserName", user.c_str(), job.numOptions,
                                     &job.options);
    if (count & 16)
      job.numOptions = cupsAddOption("com.arvex.printsettings.CCPJobName", jobName.c_str(), job.numOptions,
                                     &job.options);
    if ((count & 7) == 0 && (count & 32))
      job.numOptions = cupsAddOption("com.arvex.printsettings.CCPCustomText", jobName.c_str(), job.numOptions,
                                     &job.options);
    err_no = 0;
    const int flag = getCCPCustomText(&job, &buf);
    cupsFreeOptions(job.numOptions, job.options);
    if (flag != 0 && flag != 1)
      abort();
    break;
  }
  }
  if (capacity > 0 && strnlen(storage.get(), capacity) >= capacity)
    abort();
  return 0;
}
