// Job data that the test hands out at its own pace: a FIFO named as the
// filter's file argument. The filter reads what has been written and sees
// end of file only once the test releases its end, so a test can let the
// job end exactly when the reporting thread is where it wants it.
#ifndef ARVEX_TEST_HELD_INPUT_H
#define ARVEX_TEST_HELD_INPUT_H

#include <atomic>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace arvex::test {

class HeldInput {
public:
  // The content must fit in the FIFO (64 KiB) so that writing it never
  // waits for the reader.
  explicit HeldInput(const std::string &content)
  {
    char dir[] = "/tmp/arvex-input-XXXXXX";
    if (!mkdtemp(dir))
      throw std::runtime_error("mkdtemp failed");
    dir_ = dir;
    path_ = dir_ + "/job.pdf";
    if (mkfifo(path_.c_str(), 0600) != 0)
      throw std::runtime_error("mkfifo failed");
    // Read-write, so that opening doesn't wait for a reader.
    fd_ = open(path_.c_str(), O_RDWR | O_CLOEXEC);
    if (fd_ < 0 || write(fd_, content.data(), content.size()) != static_cast<ssize_t>(content.size()))
      throw std::runtime_error("fifo write failed");
  }
  ~HeldInput()
  {
    release();
    unlink(path_.c_str());
    rmdir(dir_.c_str());
  }
  HeldInput(const HeldInput &) = delete;
  HeldInput &operator=(const HeldInput &) = delete;

  const std::string &path() const { return path_; }
  bool released() const { return fd_ < 0; }

  // End the job's data. Any thread of the test may do it, once.
  void release()
  {
    const int fd = fd_.exchange(-1);
    if (fd >= 0)
      close(fd);
  }

private:
  std::string dir_;
  std::string path_;
  std::atomic<int> fd_{-1};
};

}  // namespace arvex::test

#endif
