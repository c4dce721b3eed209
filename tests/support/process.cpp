// Child processes of the tests, and what /proc says about them.

#include "arvex/test.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace arvex::test {

namespace {

std::vector<char *> pointers(std::vector<std::string> &texts)
{
  std::vector<char *> list;
  for (auto &text : texts)
    list.push_back(text.data());
  list.push_back(nullptr);
  return list;
}

std::vector<std::string> environmentWith(const std::vector<std::string> &changes)
{
  std::vector<std::string> env;
  for (char **entry = environ; *entry; ++entry)
    env.emplace_back(*entry);
  for (const auto &change : changes) {
    const std::string name = change.substr(0, change.find('=')) + "=";
    std::erase_if(env, [&](const std::string &entry) { return entry.rfind(name, 0) == 0; });
    if (change.find('=') != std::string::npos)
      env.push_back(change);
  }
  return env;
}

// Close a descriptor of ours and mark it gone.
void drop(int &fd)
{
  if (fd >= 0)
    close(fd);
  fd = -1;
}

}  // namespace

Child run(const Run &spec)
{
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC))
    throw std::runtime_error("pipe failed");
  std::vector<std::string> args = spec.argv, env = environmentWith(spec.env);
  std::vector<char *> argv = pointers(args), envp = pointers(env);
  signal(SIGPIPE, SIG_IGN);  // a child that stops reading must not end the test

  Child child;
  child.pid = fork();
  if (child.pid < 0)
    throw std::runtime_error("fork failed");
  if (child.pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    if (spec.sideChannel >= 0)
      dup2(spec.sideChannel, 4);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  int fds[3] = {in[1], out[0], err[0]};
  for (int fd : fds)
    fcntl(fd, F_SETFL, O_NONBLOCK);
  std::string *sinks[3] = {nullptr, &child.out, &child.err};
  size_t written = 0;
  const auto deadline = std::chrono::steady_clock::now() + spec.timeLimit;
  while (fds[1] >= 0 || fds[2] >= 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child.pid, SIGKILL);
      child.timedOut = true;
      break;
    }
    pollfd polled[3];
    for (int i = 0; i < 3; ++i)
      polled[i] = {i > 0 || !child.inputWritten ? fds[i] : -1, static_cast<short>(i == 0 ? POLLOUT : POLLIN), 0};
    poll(polled, 3, 10);
    if (fds[0] >= 0 && !child.inputWritten) {
      const ssize_t n = write(fds[0], spec.input.data() + written, spec.input.size() - written);
      written += n > 0 ? static_cast<size_t>(n) : 0;
      if (n < 0 && errno != EAGAIN)
        drop(fds[0]);
      child.inputWritten = written == spec.input.size();
      if (child.inputWritten && !spec.holdInput)
        drop(fds[0]);
    }
    for (int i = 1; i < 3; ++i) {
      char chunk[65536];
      const ssize_t n = fds[i] >= 0 ? read(fds[i], chunk, sizeof(chunk)) : -1;
      if (n > 0)
        sinks[i]->append(chunk, static_cast<size_t>(n));
      else if (fds[i] >= 0 && (n == 0 || errno != EAGAIN))
        drop(fds[i]);
    }
    if (child.out.size() >= spec.closeOutputAfter)
      drop(fds[1]);
    if (const int action = spec.watch ? spec.watch(child) : 0; action == kReleaseInput)
      drop(fds[0]);
    else if (action > 0)
      kill(child.pid, action);
  }
  for (int &fd : fds)
    drop(fd);
  int status = 0;
  while (waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
  }
  child.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  child.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  return child;
}

bool readingInput(pid_t pid)
{
  // The call number, then its arguments in hex: read(0, ...).
  return readFile("/proc/" + std::to_string(pid) + "/syscall").rfind(std::to_string(SYS_read) + " 0x0 ", 0) == 0;
}

int threadCount(pid_t pid)
{
  std::error_code gone;
  const std::filesystem::directory_iterator tasks("/proc/" + std::to_string(pid) + "/task", gone);
  return static_cast<int>(std::distance(begin(tasks), end(tasks)));
}

std::string shell(const std::string &command, const std::string &input)
{
  return run({.argv = {"/bin/sh", "-c", command}, .input = input}).out;
}

}  // namespace arvex::test
