// What the tests share, one of each: fixture paths and temporary files, an
// edited PPD, a job record built as the filter builds it, an InsertBuffer
// with guarded ends, a child-process runner, golden files, and (in
// side_channel_backend.h) a scripted backend. Link arvex_test_support.
#ifndef ARVEX_TEST_H
#define ARVEX_TEST_H

#include <arvex/buffer.h>
#include <arvex/jobinfo.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

#include "arvex/side_channel_backend.h"

namespace arvex::test {

// fixtures/<name> of the source tree; <name> of the build tree; a whole file.
std::string fixture(const std::string &name);
std::string built(const std::string &name);
std::string readFile(const std::string &path);

// A file holding content, removed with the object.
class TempFile {
public:
  explicit TempFile(const std::string &content);
  ~TempFile();
  TempFile(const TempFile &) = delete;
  TempFile &operator=(const TempFile &) = delete;
  const std::string &path() const { return path_; }

private:
  std::string path_;
};

// fixtures/ppd/<name> edited line by line, as a TempFile. An edit {prefix,
// text} replaces each line that begins with prefix by text (which may hold
// several lines; empty removes the line); a prefix no line begins with
// appends text at the end.
using PpdEdits = std::vector<std::pair<std::string, std::string>>;
class EditedPpd : public TempFile {
public:
  EditedPpd(const std::string &name, const PpdEdits &edits);
};

// The job of the filter's argv {"arvex-pdf-filter", "42", user, title,
// copies, options}: CreateJobInfoWithPPD, then markJobPPD (which, like the
// filter, marks nothing when options is empty). ppd is a name under
// fixtures/ppd/, an absolute path (an EditedPpd) or "" for none. err_no is
// 0 afterwards.
struct JobSpec {
  std::string ppd{};
  std::string options{};
  std::string user = "alice";
  std::string title = "Report";
  std::string copies = "1";
};
class TestJob {
public:
  explicit TestJob(const JobSpec &spec);
  JobInfo *get() const { return job_.get(); }
  char **argv() { return argv_.data(); }

private:
  std::vector<std::string> args_;
  std::vector<char *> argv_;
  std::unique_ptr<JobInfo, void (*)(JobInfo *)> job_{nullptr, DisposeJobInfo};
};

// An InsertBuffer over capacity zero-filled heap bytes followed by guard
// bytes, which AddressSanitizer builds poison and other builds compare.
class GuardedBuffer {
public:
  explicit GuardedBuffer(size_t capacity);
  InsertBuffer *get() { return &buf_; }
  std::string text() const;
  // Guard untouched, text terminated inside the capacity, cursor on the
  // terminator.
  bool intact() const;

private:
  std::unique_ptr<char[]> storage_;
  InsertBuffer buf_;
};

// A child process while it runs (as Run::watch sees it) and when it ended.
struct Child {
  pid_t pid = 0;
  std::string out, err;       // read so far
  bool inputWritten = false;  // all of Run::input is in the pipe
  int exitCode = -1;          // -1 when a signal ended it
  int signal = 0;             // the signal that ended it
  bool timedOut = false;      // killed when Run::timeLimit passed
};
inline constexpr int kReleaseInput = -1;
struct Run {
  std::vector<std::string> argv{};     // argv[0] is the program's path
  std::vector<std::string> env{};      // changes to this environment: "NAME=value" sets, "NAME" removes
  std::string input{};                 // standard input, closed once written...
  bool holdInput = false;              // ...unless held until watch returns kReleaseInput
  int sideChannel = -1;                // given to the child as descriptor 4 (the CUPS side channel)
  size_t closeOutputAfter = SIZE_MAX;  // stop reading standard output after that many bytes
  std::chrono::milliseconds timeLimit{30000};
  // Called every few milliseconds: 0, kReleaseInput, or a signal to send.
  std::function<int(const Child &)> watch{};
};
Child run(const Run &spec);

// Whether the main thread of pid is blocked reading its standard input.
bool readingInput(pid_t pid);
// Number of threads of pid.
int threadCount(pid_t pid);
// Standard output of a shell command given input: the openssl and iconv oracles.
std::string shell(const std::string &command, const std::string &input = "");

// Compare text with fixtures/golden/<name>, both normalised: 12-digit time
// stamps read YYYYMMDDhhmm, marking times YYYY/MM/DD hh:mm, /HostName values
// (HOST), ESC%-12345X <UEL>. ARVEX_GOLDEN_UPDATE=1 writes the normalised
// text into the file instead, for review.
std::string normalised(std::string text);
void expectGolden(const std::string &name, const std::string &text);

}  // namespace arvex::test

#endif
