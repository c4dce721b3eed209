// arvex-pdf-filter: wraps a PDF job in PJL for Arvex printers.
//
//   arvex-pdf-filter job-id user title copies options [file]
//
// The PDF goes to the printer unchanged between "@PJL ENTER LANGUAGE = PDF"
// and the trailer (the frame and the rest of the job: filter_job.h).

#include <arvex/error.h>

#include <cstdio>
#include <memory>
#include <new>

#include "filter_job.h"

namespace {

constexpr size_t kCopyBlockSize = 4096;

class PdfData : public arvex::filter::JobData {
public:
  bool prepare(arvex::filter::FilterJob & /*job*/) override
  {
    block_.reset(new (std::nothrow) char[kCopyBlockSize]);
    if (!block_)
      latchError(ARVEX_ERR_MEMORY);
    return block_ != nullptr;
  }

  const char *language() const override { return "PDF"; }

  // The input to the output unchanged, 4096 bytes at a time.
  bool copy(arvex::filter::FilterJob &job) override
  {
    FILE *in = job.input();
    while (!std::feof(in)) {
      const size_t got = std::fread(block_.get(), 1, kCopyBlockSize, in);
      job.exitIfTerminated();
      if (std::ferror(in)) {
        latchError(ARVEX_ERR_READ);
        return false;
      }
      if (got > 0 && std::fwrite(block_.get(), got, 1, job.output()) != 1) {
        job.exitIfTerminated();
        latchError(ARVEX_ERR_WRITE);
        return false;
      }
    }
    return true;
  }

private:
  std::unique_ptr<char[]> block_;
};

}  // namespace

int main(int argc, char *argv[])
{
  PdfData data;
  return arvex::filter::runFilter(argc, argv, "arvex-pdf-filter", data);
}
