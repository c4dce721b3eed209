// Splitting a fuzzer's input into texts, shared by the targets.
#ifndef ARVEX_FUZZ_INPUT_H
#define ARVEX_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include <arvex/jobinfo.h>

// The next text of the input: the bytes up to the next NUL (or the end),
// which are consumed together with that NUL.
inline std::string piece(const uint8_t *&data, size_t &size)
{
  const auto *end = static_cast<const uint8_t *>(std::memchr(data, 0, size));
  const size_t n = end ? static_cast<size_t>(end - data) : size;
  std::string text(reinterpret_cast<const char *>(data), n);
  data += n < size ? n + 1 : n;
  size -= n < size ? n + 1 : n;
  return text;
}

// A job record over the filter arguments and one of the fixture PPDs, opened
// once per process and marked anew for each input (ppdOpenFile costs more
// than everything fuzzed here). The PPD stays cached when the record goes.
class FuzzJob {
public:
  FuzzJob(const char *ppdName, std::string user, std::string title, std::string options)
      : user_(std::move(user)), title_(std::move(title)), options_(std::move(options))
  {
    static std::string lastName;
    static ppd_file_t *cached = nullptr;
    if (lastName != ppdName) {
      ppdClose(cached);
      cached = ppdOpenFile((std::string(ARVEX_SOURCE_DIR "/fixtures/ppd/") + ppdName).c_str());
      lastName = ppdName;
    }
    argv_[2] = user_.data();
    argv_[3] = title_.data();
    argv_[5] = options_.data();
    job_ = CreateJobInfoWithPPD(6, argv_, nullptr);
    if (job_ && cached) {
      job_->ppd = cached;
      markJobPPD(job_);
    }
  }
  ~FuzzJob()
  {
    if (job_)
      job_->ppd = nullptr;
    DisposeJobInfo(job_);
  }
  FuzzJob(const FuzzJob &) = delete;
  FuzzJob &operator=(const FuzzJob &) = delete;

  JobInfo *get() const { return job_; }
  char **argv() { return argv_; }

private:
  std::string user_, title_, options_;
  char id_[2] = "7", copies_[2] = "2";
  char *argv_[7] = {nullptr, id_, nullptr, nullptr, copies_, nullptr, nullptr};
  JobInfo *job_ = nullptr;
};

#endif
