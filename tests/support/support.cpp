// The test support library (arvex/test.h).

#include "arvex/test.h"

#include <arvex/error.h>

#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
// GCC 12 warns about its own <regex> when optimising (its bug 105562).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <regex>
#pragma GCC diagnostic pop
#include <sstream>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace arvex::test {

constexpr size_t kGuardSize = 16;

std::string readFile(const std::string &path)
{
  std::ostringstream content;
  content << std::ifstream(path, std::ios::binary).rdbuf();
  return content.str();
}

TempFile::TempFile(const std::string &content)
{
  char name[] = "/tmp/arvex-test-XXXXXX";
  const int fd = mkstemp(name);
  path_ = name;
  if (fd < 0 || write(fd, content.data(), content.size()) != static_cast<ssize_t>(content.size()))
    throw std::runtime_error("cannot write a temporary file");
  close(fd);
}

TempFile::~TempFile() { unlink(path_.c_str()); }

static std::string edited(const std::string &text, const PpdEdits &edits)
{
  std::istringstream in(text);
  std::vector<bool> used(edits.size());
  std::string out;
  for (std::string line; std::getline(in, line);) {
    size_t i = 0;
    while (i < edits.size() && !line.starts_with(edits[i].first))
      ++i;
    if (i == edits.size())
      out += line + "\n";
    else if (used[i] = true; !edits[i].second.empty())
      out += edits[i].second + "\n";
  }
  for (size_t i = 0; i < edits.size(); ++i)
    out += used[i] ? "" : edits[i].second + "\n";
  return out;
}

EditedPpd::EditedPpd(const std::string &name, const PpdEdits &edits)
    : TempFile(edited(readFile(fixture("ppd/" + name)), edits)) {}

std::string trimmed(const std::string &text)
{
  const size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

static std::vector<char *> pointers(std::vector<std::string> &texts)
{
  std::vector<char *> list;
  for (auto &text : texts)
    list.push_back(text.data());
  list.push_back(nullptr);
  return list;
}

PpdFile::PpdFile(const std::string &spec)
{
  PpdEdits edits;
  for (size_t at = spec.find(" + "), next; at != std::string::npos; at = next) {
    next = spec.find(" + ", at + 3);
    const std::string edit = spec.substr(at + 3, next - at - 3);
    const size_t arrow = edit.find(" =>");
    edits.emplace_back(edit.substr(0, arrow), arrow == std::string::npos ? "" : trimmed(edit.substr(arrow + 3)));
  }
  if (!edits.empty())
    edited_ = std::make_unique<EditedPpd>(spec.substr(0, spec.find(" + ")), edits);
  path_ = edited_ ? edited_->path() : spec.empty() || spec[0] == '/' ? spec : fixture("ppd/" + spec);
}

TestJob::TestJob(const JobSpec &spec)
    : args_{"arvex-pdf-filter", "42", spec.user, spec.title, spec.copies, spec.options}, argv_(pointers(args_)),
      ppd_(spec.ppd)
{
  const std::string &ppd = ppd_.path();
  job_.reset(CreateJobInfoWithPPD(static_cast<int>(args_.size()), argv_.data(), ppd.empty() ? nullptr : ppd.c_str()));
  if (!job_ || (!ppd.empty() && !job_->ppd))
    throw std::runtime_error("no job record for the PPD " + ppd);
  markJobPPD(job_.get());
  err_no = 0;
}

GuardedBuffer::GuardedBuffer(size_t capacity) : storage_(new char[capacity + kGuardSize])
{
  std::memset(storage_.get(), 0, capacity);
  std::memset(storage_.get() + capacity, '#', kGuardSize);
  ASAN_POISON_MEMORY_REGION(storage_.get() + capacity, kGuardSize);
  buf_ = {storage_.get(), capacity, storage_.get()};
}

bool GuardedBuffer::guarded() const
{
  char *guard = storage_.get() + buf_.capacity;
  ASAN_UNPOISON_MEMORY_REGION(guard, kGuardSize);
  const bool untouched = std::string(guard, kGuardSize) == std::string(kGuardSize, '#');
  ASAN_POISON_MEMORY_REGION(guard, kGuardSize);
  return untouched;
}

bool GuardedBuffer::intact() const
{
  return guarded() && text().size() < buf_.capacity && buf_.cursor == buf_.start + text().size();
}

static void drop(int &fd)
{
  if (fd >= 0)
    close(fd);
  fd = -1;
}

Child run(const Command &command)
{
  std::vector<std::string> args = command.argv, env;
  for (char **entry = environ; *entry; ++entry)
    env.emplace_back(*entry);
  for (const auto &change : command.env) {
    std::erase_if(env, [&](const std::string &e) { return e.starts_with(change.substr(0, change.find('=')) + "="); });
    if (change.find('=') != std::string::npos)
      env.push_back(change);
  }
  std::vector<char *> argv = pointers(args), envp = pointers(env);
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC))
    throw std::runtime_error("pipe failed");
  signal(SIGPIPE, SIG_IGN);  // a child that stops reading must not end the test
  Child child;
  if ((child.pid = fork()) < 0)
    throw std::runtime_error("fork failed");
  if (child.pid == 0) {
    dup2(in[0], 0), dup2(out[1], 1), dup2(err[1], 2);
    if (command.sideChannel >= 0)
      dup2(command.sideChannel, 4);
    signal(SIGPIPE, SIG_DFL);  // as the scheduler starts a filter
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(in[0]), close(out[1]), close(err[1]);
  int fds[3] = {in[1], out[0], err[0]};
  for (int fd : fds)
    fcntl(fd, F_SETFL, O_NONBLOCK);
  size_t sent = 0;
  const auto deadline = std::chrono::steady_clock::now() + command.timeLimit;
  while ((fds[1] >= 0 || fds[2] >= 0) && std::chrono::steady_clock::now() < deadline) {
    const size_t left = command.input.size() - sent;
    pollfd polled[3] = {{left ? fds[0] : -1, POLLOUT, 0}, {fds[1], POLLIN, 0}, {fds[2], POLLIN, 0}};
    poll(polled, 3, 10);
    if (const ssize_t n = fds[0] >= 0 && left ? write(fds[0], command.input.data() + sent, left) : 0; n > 0)
      sent += static_cast<size_t>(n);
    else if (n < 0 && errno != EAGAIN)
      drop(fds[0]);
    if (int unread = 0; fds[0] >= 0 && sent == command.input.size() && command.holdInput)
      child.inputDrained = ioctl(fds[0], FIONREAD, &unread) == 0 && unread == 0;
    else if (sent == command.input.size())
      drop(fds[0]);
    const bool stalled = child.out.size() >= command.stallOutputAfter;
    if (stalled && fds[2] < 0)
      drop(fds[1]);  // it has ended
    for (int i : {1, 2}) {
      char chunk[65536];
      const size_t room = i == 1 ? std::min(sizeof(chunk), command.stallOutputAfter - child.out.size()) : sizeof(chunk);
      const ssize_t n = fds[i] >= 0 && room > 0 ? read(fds[i], chunk, room) : -1;
      if (n > 0)
        (i == 1 ? child.out : child.err).append(chunk, static_cast<size_t>(n));
      else if (n == 0 || (fds[i] >= 0 && room > 0 && errno != EAGAIN))
        drop(fds[i]);
    }
    if (child.out.size() >= command.closeOutputAfter)
      drop(fds[1]);
    if (const int action = command.watch ? command.watch(child) : 0; action == kReleaseInput)
      drop(fds[0]);
    else if (action > 0)
      kill(child.pid, action);
  }
  if (fds[1] >= 0 || fds[2] >= 0)
    kill(child.pid, SIGKILL);  // at the time limit
  for (int &fd : fds)
    drop(fd);
  int status = 0;
  while (waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
  }
  child.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return child;
}

bool inCall(pid_t pid, long call, int fd)
{
  // The call's number, then its arguments in hex: read(0, ...).
  const std::string args = std::to_string(call) + " 0x" + std::to_string(fd) + " ";
  return readFile("/proc/" + std::to_string(pid) + "/syscall").starts_with(args);
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

std::string written(const std::function<void(FILE *)> &writer)
{
  char *data = nullptr;
  size_t size = 0;
  FILE *stream = open_memstream(&data, &size);
  writer(stream);
  std::fclose(stream);
  std::string text(data, size);
  std::free(data);
  return text;
}

SideChannel::SideChannel()
{
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0)
    throw std::runtime_error("socketpair failed");
  for (int i : {0, 1}) {
    ends_[i] = fcntl(pair[i], F_DUPFD_CLOEXEC, 10);
    close(pair[i]);
  }
}

SideChannel::~SideChannel()
{
  close(ends_[0]);
  close(ends_[1]);
}

void SideChannel::reply(int command, int status, const std::string &data)
{
  const std::string message = std::string{static_cast<char>(command), static_cast<char>(status),
                                          static_cast<char>(data.size() >> 8), static_cast<char>(data.size())} + data;
  if (send(ends_[1], message.data(), message.size(), 0) != static_cast<ssize_t>(message.size()))
    throw std::runtime_error("side channel full");
}

std::vector<std::pair<int, std::string>> SideChannel::requests()
{
  std::vector<std::pair<int, std::string>> list;
  char message[4096];
  for (ssize_t n; (n = recv(ends_[1], message, sizeof(message), MSG_DONTWAIT)) >= 4;) {
    std::string data(message + 4, static_cast<size_t>(n) - 4);
    if (!data.empty() && data.back() == '\0')
      data.pop_back();
    list.emplace_back(message[0], data);
  }
  return list;
}

std::string pjlJob(const std::string &title, const std::string &user, const std::string &settings,
                   const std::string &data, const std::string &language)
{
  return "\x1b%-12345X@PJL JOB NAME=\"" + title + "\"\n@PJL SET USERNAME=\"" + user + "\"\n" + settings +
         "@PJL ENTER LANGUAGE = " + language + "\n" + data + "\x1b%-12345X@PJL EOJ\n";
}

std::string normalised(std::string text)
{
  static const std::pair<std::regex, const char *> rules[] = {
      {std::regex("\\b[0-9]{12}\\b"), "YYYYMMDDhhmm"},
      {std::regex("[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}"), "YYYY/MM/DD hh:mm"},
      {std::regex("/HostName \\([^)]*\\)"), "/HostName (HOST)"},
      {std::regex("\x1b%-12345X"), "<UEL>"},
  };
  for (const auto &[pattern, replacement] : rules)
    text = std::regex_replace(text, pattern, replacement);
  return text;
}

void expectGolden(const std::string &name, const std::string &text)
{
  const std::string path = fixture("golden/" + name);
  if (const char *update = std::getenv("ARVEX_GOLDEN_UPDATE"); update && std::string(update) == "1") {
    std::ofstream(path, std::ios::binary) << normalised(text);
    std::printf("rewrote %s: review it before committing\n", path.c_str());
    return;
  }
  EXPECT_EQ(normalised(text), normalised(readFile(path))) << "golden file " << path;
}

std::string repeat(const std::string &text, size_t times)
{
  std::string out;
  while (times--)
    out += text;
  return out;
}

static std::string expanded(const std::string &field, const std::map<std::string, std::string> &defines,
                            const std::string &where)
{
  static const std::regex token(R"(\$\{(\w+)\}|\{(\d+)\*((?:\$\{\w+\}|[^}])*)\}|\\x([0-9a-fA-F]{2})|\\([nrt]))");
  std::string out;
  auto last = field.cbegin();
  for (std::sregex_iterator m(field.begin(), field.end(), token), end; m != end; ++m) {
    out.append(last, (*m)[0].first);
    last = (*m)[0].second;
    if (const auto define = defines.find((*m)[1]); define != defines.end())
      out += define->second;
    else if ((*m)[1].matched)
      ADD_FAILURE() << where << ": nothing defines " << (*m)[1];
    else if ((*m)[2].matched)
      out += repeat(expanded((*m)[3], defines, where), std::stoul((*m)[2]));
    else if ((*m)[4].matched)
      out += static_cast<char>(std::stoi((*m)[4], nullptr, 16));
    else
      out += (*m)[5] == "n" ? '\n' : (*m)[5] == "r" ? '\r' : '\t';
  }
  return out.append(last, field.cend());
}

std::vector<CaseRow> caseTable(const std::string &name, size_t fields)
{
  std::map<std::string, std::string> defines = {{"PS", PS}, {"FIXTURES", ARVEX_SOURCE_DIR "/fixtures"}};
  const std::string file = name.substr(0, name.find('#')), section = name.substr(file.size());
  std::istringstream lines(readFile(fixture("cases/" + file)));
  std::vector<CaseRow> rows;
  int number = 0;
  bool inside = section.empty();
  for (std::string line; std::getline(lines, line);) {
    const std::string where = file + ":" + std::to_string(++number);
    if (line.starts_with("[") && !section.empty())
      inside = line == "[" + section.substr(1) + "]";
    else if (line.starts_with("define ")) {
      const size_t space = line.find(' ', 7);
      defines[line.substr(7, space - 7)] = expanded(trimmed(line.substr(space + 1)), defines, where);
    } else if (inside && !trimmed(line).empty() && line[0] != '#') {
      CaseRow row{where, {}};
      line = " " + line + " ";  // a bar between spaces parts fields, which may share a space: " | | "
      size_t at = 0;
      for (size_t i = 1; i + 1 < line.size() && row.field.size() + 1 < fields; ++i)
        if (line[i] == '|' && line[i - 1] == ' ' && line[i + 1] == ' ')
          row.field.push_back(expanded(trimmed(line.substr(at, i - at)), defines, where)), at = i + 1;
      row.field.push_back(expanded(trimmed(line.substr(at)), defines, where));
      row.field.resize(fields);
      rows.push_back(row);
    }
  }
  EXPECT_FALSE(rows.empty()) << "no cases in " << name;
  return rows;
}

void expectReaders(const std::string &table, const std::map<std::string, Reader> &readers)
{
  for (const CaseRow &c : caseTable(table, 7)) {
    const JobSpec defaults;
    const TestJob job({c[1], c[2], c.value(5, defaults.user), c.value(6, defaults.title)});
    EXPECT_EQ(readers.at(c[0])(job.get()), c[3]) << c.where;
    EXPECT_EQ(err_no, std::atoi(c[4].c_str())) << c.where;
  }
}

std::string expectedText(const std::string &spec, const std::string &lf)
{
  std::string text = spec.starts_with("=") ? spec.substr(1) : "", out;
  std::istringstream names(spec.starts_with("=") ? "" : spec);
  for (std::string name; names >> name;) {
    text += readFile(fixture("golden/" + name + ".ps"));
    EXPECT_TRUE(text.ends_with("\n")) << "golden file " << name;
  }
  for (char c : text)
    out += c == '\n' ? lf : std::string(1, c);
  return out;
}

std::string utcStamp(time_t offset, const char *format)
{
  const time_t shifted = time(nullptr) + offset;
  struct tm utc = {};
  gmtime_r(&shifted, &utc);
  char text[64] = {};
  strftime(text, sizeof(text), format, &utc);
  return text;
}

void expectWriters(const std::string &table, const std::map<std::string, Writer> &writers)
{
  for (const CaseRow &c : caseTable(table, 7)) {
    const TestJob job({c[1], c[2]});
    const std::string lf = c.value(5, "\n");
    GuardedBuffer out(8192);
    EXPECT_EQ(writers.at(c[0])(job.get(), out.get(), lf.c_str()), std::atoi(c[3].c_str())) << c.where;
    EXPECT_TRUE(out.intact()) << c.where;
    EXPECT_EQ(err_no, std::atoi(c[4].c_str())) << c.where;
    if (!c[6].starts_with("|")) {
      EXPECT_EQ(normalised(out.text()), normalised(expectedText(c[6], lf))) << c.where;
      continue;
    }
    std::istringstream lines(c[6].substr(1));
    for (std::string line; std::getline(lines, line, '|');)
      EXPECT_NE(out.text().find("\n" + line + "\n"), std::string::npos)
          << c.where << ": " << line << " not in\n" << out.text();
  }
}

}  // namespace arvex::test
