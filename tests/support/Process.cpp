// Child process runner for tests that exercise the real binaries.

#include "Process.h"

#include <cerrno>
#include <cstdio>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace arvex::test {

namespace {

void setNonBlocking(int fd)
{
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

[[noreturn]] void execChild(const ProcessOptions &options, int in, int out, int err,
                            const std::vector<char *> &argv, const std::vector<char *> &envp)
{
  dup2(in, 0);
  dup2(out, 1);
  dup2(err, 2);
  for (const auto &[parentFd, childFd] : options.extraFds) {
    // dup2 onto itself keeps close-on-exec; clear it instead.
    if (parentFd == childFd)
      fcntl(childFd, F_SETFD, 0);
    else
      dup2(parentFd, childFd);
  }
  execve(argv[0], argv.data(), envp.data());
  _exit(127);
}

}  // namespace

ProcessResult runProcess(const ProcessOptions &options)
{
  int inPipe[2], outPipe[2], errPipe[2];
  if (pipe2(inPipe, O_CLOEXEC) || pipe2(outPipe, O_CLOEXEC) || pipe2(errPipe, O_CLOEXEC))
    throw std::runtime_error("pipe failed");

  std::vector<char *> argv, envp;
  for (const auto &a : options.argv)
    argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  for (const auto &e : options.env)
    envp.push_back(const_cast<char *>(e.c_str()));
  envp.push_back(nullptr);

  const pid_t pid = fork();
  if (pid < 0)
    throw std::runtime_error("fork failed");
  if (pid == 0)
    execChild(options, inPipe[0], outPipe[1], errPipe[1], argv, envp);

  close(inPipe[0]);
  close(outPipe[1]);
  close(errPipe[1]);
  int inFd = inPipe[1], outFd = outPipe[0], errFd = errPipe[0];
  setNonBlocking(inFd);
  setNonBlocking(outFd);
  setNonBlocking(errFd);
  // A child that exits before reading its input must not kill the test.
  struct sigaction ignore = {}, previous = {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &previous);

  ProcessResult result;
  size_t written = 0;
  const auto start = std::chrono::steady_clock::now();
  auto nextChunk = start;
  char chunk[65536];
  bool signalSent = false;

  while (outFd >= 0 || errFd >= 0) {
    const auto now = std::chrono::steady_clock::now();
    if (now - start > options.timeLimit) {
      kill(pid, SIGKILL);
      result.timedOut = true;
      break;
    }
    if (options.signalAfter && !signalSent && now - start >= options.signalAfter->first) {
      kill(pid, options.signalAfter->second);
      signalSent = true;
    }
    pollfd fds[3];
    int n = 0;
    const bool inputDue = inFd >= 0 && (!options.inputChunkDelay || now >= nextChunk);
    if (inputDue)
      fds[n++] = {inFd, POLLOUT, 0};
    if (outFd >= 0)
      fds[n++] = {outFd, POLLIN, 0};
    if (errFd >= 0)
      fds[n++] = {errFd, POLLIN, 0};
    poll(fds, n, 20);

    bool gotOutput = false;
    for (int i = 0; i < n; ++i) {
      if (!fds[i].revents)
        continue;
      if (fds[i].fd == inFd) {
        const size_t room = options.inputChunkDelay ? options.inputChunkSize : options.input.size() - written;
        const size_t len = std::min(room, options.input.size() - written);
        const ssize_t w = len ? write(inFd, options.input.data() + written, len) : 0;
        if (w > 0)
          written += static_cast<size_t>(w);
        if (options.inputChunkDelay)
          nextChunk = std::chrono::steady_clock::now() + *options.inputChunkDelay;
        if (written >= options.input.size() || (w < 0 && errno != EAGAIN)) {
          close(inFd);
          inFd = -1;
        }
      } else {
        int &fd = fds[i].fd == outFd ? outFd : errFd;
        std::string &sink = fds[i].fd == outFd ? result.out : result.err;
        const ssize_t r = read(fd, chunk, sizeof(chunk));
        if (r > 0) {
          sink.append(chunk, static_cast<size_t>(r));
          gotOutput = true;
        } else if (r == 0 || errno != EAGAIN) {
          close(fd);
          fd = -1;
        }
      }
    }
    if (inFd >= 0 && !options.inputChunkDelay && written >= options.input.size()) {
      close(inFd);
      inFd = -1;
    }
    if (outFd >= 0 && options.closeStdoutAfter && result.out.size() >= *options.closeStdoutAfter) {
      close(outFd);
      outFd = -1;
    }
    if (gotOutput && options.onOutput) {
      if (const int sig = options.onOutput(result))
        kill(pid, sig);
    }
  }
  for (int fd : {inFd, outFd, errFd})
    if (fd >= 0)
      close(fd);

  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  sigaction(SIGPIPE, &previous, nullptr);
  if (WIFEXITED(status))
    result.exitCode = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    result.termSignal = WTERMSIG(status);
  return result;
}

std::vector<std::string> environmentWith(const std::vector<std::string> &changes)
{
  std::vector<std::string> env;
  for (char **e = environ; *e; ++e)
    env.emplace_back(*e);
  for (const auto &change : changes) {
    const auto eq = change.find('=');
    const std::string name = change.substr(0, eq);
    std::erase_if(env, [&](const std::string &entry) { return entry.compare(0, name.size() + 1, name + "=") == 0; });
    if (eq != std::string::npos)
      env.push_back(change);
  }
  return env;
}

TempFile::TempFile(const std::string &content)
{
  char name[] = "/tmp/arvex-test-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0)
    throw std::runtime_error("mkstemp failed");
  path_ = name;
  FILE *f = fdopen(fd, "wb");
  const bool written = std::fwrite(content.data(), 1, content.size(), f) == content.size();
  std::fclose(f);
  if (!written)
    throw std::runtime_error("writing " + path_ + " failed");
}

TempFile::~TempFile()
{
  unlink(path_.c_str());
}

std::string fixturePath(const std::string &relative)
{
  return std::string(ARVEX_SOURCE_DIR) + "/fixtures/" + relative;
}

std::string buildPath(const std::string &relative)
{
  return std::string(ARVEX_BINARY_DIR) + "/" + relative;
}

std::string readFile(const std::string &path)
{
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace arvex::test
