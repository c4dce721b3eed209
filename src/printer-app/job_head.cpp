// The PJL around a job's data, from the filters' writers.

#include "job_head.h"

#include <arvex/buffer.h>
#include <arvex/error.h>
#include <arvex/frame.h>
#include <arvex/jobinfo.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "../pjl/option_pass.h"

namespace arvex::app {

namespace {

constexpr size_t kInsertBufferSize = 4096;  // the filter's insertion buffer

// A stream into memory that yields its bytes once closed.
class MemoryStream {
public:
  MemoryStream() : file_(open_memstream(&data_, &size_)) {}
  MemoryStream(const MemoryStream &) = delete;
  MemoryStream &operator=(const MemoryStream &) = delete;
  ~MemoryStream()
  {
    if (file_)
      std::fclose(file_);
    std::free(data_);
  }
  FILE *file() const { return file_; }
  // Close the stream; false when a write or the close failed.
  bool take(std::string &bytes)
  {
    const bool ok = file_ && !std::ferror(file_) && std::fclose(file_) == 0;
    file_ = nullptr;
    if (ok)
      bytes.assign(data_, size_);
    return ok;
  }

private:
  char *data_ = nullptr;
  size_t size_ = 0;
  FILE *file_;
};

// The filter's arguments of a request, pointing into it.
class FilterArguments {
public:
  explicit FilterArguments(const JobRequest &r)
      : argv_{const_cast<char *>("arvex-printer-app"), const_cast<char *>(r.jobId.c_str()),
              const_cast<char *>(r.user.c_str()),      const_cast<char *>(r.title.c_str()),
              const_cast<char *>(r.copies.c_str()),    const_cast<char *>(r.options.c_str()),
              nullptr}
  {
  }
  char **get() { return argv_; }

private:
  char *argv_[7];
};

}  // namespace

JobRecord openJobRecord(const JobRequest &request)
{
  err_no = 0;  // this thread's latch: one job at a time on it
  FilterArguments argv(request);
  JobRecord job(CreateJobInfoWithPPD(6, argv.get(), request.ppdPath.c_str()));
  if (job && !job->ppd)
    job.reset();
  return job;
}

bool buildJobHead(const JobRequest &request, std::string &head, std::string &error, const char *language)
{
  JobRecord job = openJobRecord(request);
  if (!job) {
    error = "Can't read the printer's PPD " + request.ppdPath;
    return false;
  }
  markJobPPD(job.get());

  MemoryStream out;
  auto storage = std::make_unique<char[]>(kInsertBufferSize);  // zero-filled
  InsertBuffer insertion = {storage.get(), kInsertBufferSize, storage.get()};
  if (!out.file()) {
    error = "Out of memory for the job header";
    return false;
  }
  getInsertStringForStartPJL(job.get(), out.file());
  FilterArguments argv(request);
  const bool written = runPjlOptionPass(job.get(), out.file(), &insertion, argv.get(), false) == 0;
  writeEnterLanguage(out.file(), language);
  if (!written || !out.take(head)) {
    error = "Can't write the job header";
    return false;
  }
  return true;
}

std::string jobTrailer()
{
  MemoryStream out;
  std::string trailer;
  if (out.file())
    getInsertStringForEndPJL(nullptr, out.file());
  out.take(trailer);
  return trailer;
}

std::string optionValue(const std::string &value)
{
  std::string quoted;
  for (const char c : value) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && static_cast<unsigned char>(c) < 0x80)
      quoted += '\\';
    quoted += c;
  }
  return quoted;
}

}  // namespace arvex::app
