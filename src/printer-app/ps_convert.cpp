// PDF to PostScript: Ghostscript's ps2write as a child process, watched
// for its end and for the job's cancellation.

#include "ps_convert.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace arvex::app {

PsConversion::PsConversion(PsConversion &&other) noexcept
    : fd(std::exchange(other.fd, -1)), problem(std::move(other.problem)) {}

// The other object closes what this one held.
PsConversion &PsConversion::operator=(PsConversion &&other) noexcept
{
  std::swap(fd, other.fd);
  std::swap(problem, other.problem);
  return *this;
}

PsConversion::~PsConversion()
{
  if (fd >= 0)
    close(fd);
}

namespace {

constexpr size_t kCopyBlock = 256 * 1024;  // bytes per read of the PDF
constexpr size_t kHeaderWindow = 1024;     // where a PDF's "%PDF-" may lie
constexpr size_t kMessageLimit = 8192;     // bytes of Ghostscript's messages kept
constexpr size_t kLineLimit = 160;         // characters of a message line in the problem
constexpr int kPollMs = 100;               // how often cancelled() is asked
constexpr auto kTermGrace = std::chrono::seconds(2);
constexpr const char *kCancelled = "The job was cancelled while it was converted to PostScript.";

// A descriptor of ours, close-on-exec and above 2, so that the child's
// dup2s onto 0 to 3 never overwrite one another's source.
struct Fd {
  explicit Fd(int descriptor)
      : fd(descriptor < 0 || descriptor > 2 ? descriptor : fcntl(descriptor, F_DUPFD_CLOEXEC, 3))
  {
    if (fd != descriptor)
      close(descriptor);
  }
  Fd(const Fd &) = delete;
  Fd &operator=(const Fd &) = delete;
  ~Fd() { reset(); }
  void reset()
  {
    if (fd >= 0)
      close(std::exchange(fd, -1));
  }
  int fd;
};

std::string failed(const std::string &what) { return what + ": " + std::strerror(errno) + "."; }

// An unlinked file in directory, mode 0600: O_TMPFILE where the file system has it.
int tempFile(const std::string &directory)
{
  const int fd = open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
    return fd;
  std::string name = directory + "/arvex-ps-XXXXXX";
  const int made = mkostemp(name.data(), O_CLOEXEC);
  if (made >= 0)
    unlink(name.c_str());
  return made;
}

// The rest of in into out; "" when all of it is there, else the problem.
std::string copyInput(int in, int out, const std::function<bool()> &cancelled)
{
  const auto buffer = std::make_unique<char[]>(kCopyBlock);
  pollfd ready{in, POLLIN, 0};
  while (!cancelled()) {
    const int polled = poll(&ready, 1, kPollMs);
    if (polled < 0 && errno != EINTR)
      return failed("Can't read the job's document");
    const ssize_t got = polled > 0 ? read(in, buffer.get(), kCopyBlock) : -1;
    if (got == 0)
      return "";
    if (got < 0 && polled > 0 && errno != EINTR && errno != EAGAIN)
      return failed("Can't read the job's document");
    for (ssize_t done = 0, put = 0; done < got; done += put)
      if ((put = write(out, buffer.get() + done, static_cast<size_t>(got - done))) < 0 && errno != EINTR)
        return failed("Can't keep a copy of the document for Ghostscript");
      else if (put < 0)
        put = 0;
  }
  return kCancelled;
}

// Appends what Ghostscript wrote, as much as is kept; read's result.
ssize_t readMessages(int fd, std::string &kept)
{
  char chunk[4096];
  const ssize_t got = read(fd, chunk, sizeof(chunk));
  if (got > 0)
    kept.append(chunk, std::min(static_cast<size_t>(got), kMessageLimit - std::min(kMessageLimit, kept.size())));
  return got;
}

// The first line of the messages that says something, printable and short, without its "**** " and final stop.
std::string firstLine(const std::string &messages)
{
  for (size_t at = 0; at < messages.size();) {
    const size_t end = std::min(messages.find('\n', at), messages.size());
    std::string line = messages.substr(at, end - at);
    at = end + 1;
    line.erase(0, line.find_first_not_of(" \t*"));
    line.erase(std::min(line.find_last_not_of(" \t\r.") + 1, kLineLimit));
    for (char &c : line)
      c = (c < ' ' || c > '~') ? '?' : c;
    if (!line.empty())
      return line;
  }
  return "";
}

// SIGTERM, SIGKILL after the grace time, and reaped.
void stop(pid_t pid)
{
  kill(pid, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + kTermGrace;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(pid, SIGKILL);
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      return;
    }
    poll(nullptr, 0, 20);
  }
}

// Runs program on the PDF in input, writing into output; "" when it worked.
std::string runGhostscript(const std::string &program, std::vector<std::string> args, int input, int output,
                           const std::string &directory, const std::function<bool()> &cancelled)
{
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0)
    return failed("Can't start Ghostscript");
  Fd messages(ends[0]), childEnd(ends[1]);
  fcntl(messages.fd, F_SETFL, O_NONBLOCK);  // the reading end only: Ghostscript's writes block as usual

  std::vector<std::string> env = {std::string("PATH=") + (getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin"),
                                  "TMPDIR=" + directory};
  for (const char *name : {"GS_LIB", "GS_FONTPATH"})
    if (const char *value = getenv(name))
      env.push_back(std::string(name) + "=" + value);
  std::vector<char *> argv, envp;
  for (auto &arg : args)
    argv.push_back(arg.data());
  for (auto &var : env)
    envp.push_back(var.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input, 0);
  posix_spawn_file_actions_adddup2(&actions, childEnd.fd, 1);
  posix_spawn_file_actions_adddup2(&actions, childEnd.fd, 2);
  posix_spawn_file_actions_adddup2(&actions, output, 3);
  posix_spawn_file_actions_addclosefrom_np(&actions, 4);
  posix_spawnattr_init(&attr);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, program.c_str(), &actions, &attr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  childEnd.reset();
  if (spawned == ENOENT)
    return "Ghostscript (" + program + ") is not installed.";
  if (spawned != 0)
    return "Can't start Ghostscript (" + program + "): " + std::strerror(spawned) + ".";

  std::string kept;
  bool open = true;
  int status = 0;
  pid_t ended = 0;
  while ((ended = waitpid(pid, &status, WNOHANG)) == 0) {
    if (cancelled()) {
      stop(pid);
      return kCancelled;
    }
    pollfd ready{messages.fd, POLLIN, 0};
    if (poll(&ready, open ? 1 : 0, open ? kPollMs : 10) > 0) {
      const ssize_t got = readMessages(messages.fd, kept);
      open = got > 0 || (got < 0 && (errno == EAGAIN || errno == EINTR));
    }
  }
  while (open && readMessages(messages.fd, kept) > 0) {
  }
  if (ended < 0)
    return failed("Can't learn how Ghostscript ended");
  const std::string line = firstLine(kept);
  if (WIFSIGNALED(status)) {
    const char *name = sigdescr_np(WTERMSIG(status));
    return "Ghostscript stopped on signal " + std::to_string(WTERMSIG(status)) +
           (name ? " (" + std::string(name) + ")." : ".");
  }
  // An unreadable PDF leaves ps2write an empty page, and Ghostscript's exit status 0.
  if (WEXITSTATUS(status) != 0 || kept.find("No pages will be processed") != std::string::npos)
    return "Ghostscript can't convert the document" +
           (line.empty() ? " (exit status " + std::to_string(WEXITSTATUS(status)) + ")." : ": " + line + ".");
  char start[4];
  const ssize_t got = pread(output, start, sizeof(start), 0);
  if (got <= 0)
    return "Ghostscript wrote no PostScript.";
  if (got < 4 || memcmp(start, "%!PS", 4) != 0)
    return "Ghostscript's output is not PostScript.";
  return "";
}

}  // namespace

PsConversion convertToPostScript(int pdfFd, bool gray, int dpi, const std::string &directory,
                                 const std::function<bool()> &cancelled)
{
  const std::function<bool()> asked = [&cancelled] { return cancelled && cancelled(); };
  PsConversion result;
  Fd pdf(tempFile(directory));
  Fd output(tempFile(directory));
  if (pdf.fd < 0 || output.fd < 0)
    result.problem = failed("Can't make a temporary file in " + directory);
  else
    result.problem = copyInput(pdfFd, pdf.fd, asked);
  if (!result.problem.empty())
    return result;
  char head[kHeaderWindow];
  const ssize_t got = pread(pdf.fd, head, sizeof(head), 0);
  if (got <= 0) {
    result.problem = got < 0 ? failed("Can't read the copy of the document") : "The document is empty.";
    return result;
  }
  if (memmem(head, static_cast<size_t>(got), "%PDF-", 5) == nullptr) {
    result.problem = "The document is not a PDF file.";
    return result;
  }

  const char *named = getenv("ARVEX_GHOSTSCRIPT");
  const std::string program = named && *named ? named : "gs";
  std::vector<std::string> args = {program, "-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-dNOMEDIAATTRS",
                                   "-sDEVICE=ps2write", "-dShowAcroForm", "-dLanguageLevel=3",
                                   "-r" + std::to_string(dpi), "-dCompressFonts=false", "-dNoT3CCITT",
                                   "-dNOINTERPOLATE"};
  if (gray)
    args.insert(args.end(), {"-sProcessColorModel=DeviceGray", "-sColorConversionStrategy=Gray"});
  // Output and input by their descriptors; Ghostscript opens each anew, at offset 0.
  args.insert(args.end(), {"-sOutputFile=/dev/fd/3", "/dev/fd/0"});
  result.problem = runGhostscript(program, std::move(args), pdf.fd, output.fd, directory, asked);
  if (result.problem.empty() && lseek(output.fd, 0, SEEK_SET) == 0)
    result.fd = std::exchange(output.fd, -1);
  else if (result.problem.empty())
    result.problem = failed("Can't read the PostScript");
  return result;
}

}  // namespace arvex::app
