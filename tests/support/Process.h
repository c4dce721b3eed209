// Runs a program as a child process with chosen arguments, environment,
// standard input and extra descriptors, and collects what it writes.
#ifndef ARVEX_TEST_PROCESS_H
#define ARVEX_TEST_PROCESS_H

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace arvex::test {

struct ProcessResult {
  std::string out;          // everything read from standard output
  std::string err;          // everything read from standard error
  int exitCode = -1;        // exit status, -1 when killed by a signal
  int termSignal = 0;       // the signal that ended it, 0 when it exited
  bool timedOut = false;    // killed because it outlived the time limit
};

struct ProcessOptions {
  std::vector<std::string> argv;            // argv[0] is the program path
  std::vector<std::string> env;             // the whole environment, "NAME=value"
  std::string input;                        // written to standard input, then closed
  // Close our end of standard output after this many bytes have been read.
  std::optional<size_t> closeStdoutAfter;
  // Descriptors handed to the child: {our descriptor, number in the child}.
  std::vector<std::pair<int, int>> extraFds;
  std::chrono::milliseconds timeLimit{60000};
  // Called whenever output arrived, with the result so far; may return a
  // signal to send to the child (0 for none). Used to stop a job midway.
  std::function<int(const ProcessResult &)> onOutput;
  // Send a signal once this much time has passed since the start.
  std::optional<std::pair<std::chrono::milliseconds, int>> signalAfter;
  // Delay between the chunks of input, to make a slow writer.
  std::optional<std::chrono::milliseconds> inputChunkDelay;
  size_t inputChunkSize = 65536;
};

ProcessResult runProcess(const ProcessOptions &options);

// The environment of this process with the given entries replaced or added
// ("NAME=value") and removed ("NAME" without "=").
std::vector<std::string> environmentWith(const std::vector<std::string> &changes);

// A file holding the given content, removed when the object goes away.
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

// Path of a file in the fixture tree and in the build tree.
std::string fixturePath(const std::string &relative);
std::string buildPath(const std::string &relative);

// Whole content of a file.
std::string readFile(const std::string &path);

}  // namespace arvex::test

#endif
