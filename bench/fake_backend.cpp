// fake_backend: runs a program (a CUPS filter) with descriptor 4 connected
// to a backend end of the side channel that answers like a printer, the way
// the scheduler connects a filter to its queue's backend.
//
//   fake_backend [--silent] [--levels=N,N,N,N] [--state=HEXOCTETS] -- program [args...]
//
// SNMP requests for the marker levels get the given levels (marker k gets
// the k-th number), the printer-state request gets the octets, any other
// identifier an empty value; --silent never answers. The device-ID request
// is answered with an "RTN:" field carrying the same levels. Exits with the
// program's status; SIGTERM and SIGINT are passed on to it.
//
// Messages are one byte command, one byte status, two bytes big-endian data
// length, then the data. An SNMP request carries the identifier with its
// NUL; the reply the identifier, a NUL and the value.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <cups/sidechannel.h>

namespace {

volatile sig_atomic_t child = 0;

void passOn(int signal)
{
  if (child > 0)
    kill(child, signal);
}

int usage()
{
  std::fputs("Usage: fake_backend [--silent] [--levels=N,N,N,N] [--state=HEXOCTETS] -- program [args...]\n", stderr);
  return 2;
}

std::string octetsFromHex(const std::string &hex)
{
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

struct Printer {
  bool silent = false;
  std::vector<std::string> levels = {"80", "60", "40", "20"};
  std::string state;

  // The reply's data, or the status of a request this printer can't answer.
  int answer(int command, const std::string &request, std::string &data) const
  {
    static const std::string levelOid = ".1.3.6.1.4.1.32473.3.2.1.2.24.1.1.5.";
    static const std::string stateOid = ".1.3.6.1.2.1.25.3.5.1.2.1";
    if (command == CUPS_SC_CMD_GET_DEVICE_ID) {
      std::string rtn;
      for (const auto &level : levels)
        rtn += (rtn.empty() ? "" : ",") + level;
      data = "MFG:Arvex;MDL:Office C4500;RTN:x/" + rtn + ";";
      return CUPS_SC_STATUS_OK;
    }
    if (command != CUPS_SC_CMD_SNMP_GET)
      return CUPS_SC_STATUS_NOT_IMPLEMENTED;
    const std::string oid = request.substr(0, request.find('\0'));
    std::string value;
    if (oid == stateOid) {
      value = state;
    } else if (oid.rfind(levelOid, 0) == 0) {
      const size_t k = std::strtoul(oid.c_str() + levelOid.size(), nullptr, 10);
      if (k >= 1 && k <= levels.size())
        value = levels[k - 1];
    }
    data = oid + std::string(1, '\0') + value;
    return CUPS_SC_STATUS_OK;
  }

  // Answer requests until the filter's end closes; a request may arrive in
  // pieces, several may arrive together.
  void serve(int fd) const
  {
    std::string pending;
    char chunk[65536];
    for (;;) {
      const ssize_t got = read(fd, chunk, sizeof(chunk));
      if (got < 0 && errno == EINTR)
        continue;
      if (got <= 0)
        return;
      pending.append(chunk, static_cast<size_t>(got));
      while (pending.size() >= 4) {
        const size_t length = (static_cast<unsigned char>(pending[2]) << 8) | static_cast<unsigned char>(pending[3]);
        if (pending.size() < 4 + length)
          break;
        const int command = static_cast<unsigned char>(pending[0]);
        std::string data;
        const int status = answer(command, pending.substr(4, length), data);
        pending.erase(0, 4 + length);
        if (silent)
          continue;
        const std::string reply = std::string{static_cast<char>(command), static_cast<char>(status),
                                              static_cast<char>(data.size() >> 8), static_cast<char>(data.size())} +
                                  data;
        if (write(fd, reply.data(), reply.size()) != static_cast<ssize_t>(reply.size()))
          return;
      }
    }
  }
};

}  // namespace

int main(int argc, char *argv[])
{
  Printer printer;
  int i = 1;
  for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    const std::string arg = argv[i];
    if (arg == "--silent") {
      printer.silent = true;
    } else if (arg.rfind("--levels=", 0) == 0) {
      printer.levels.clear();
      std::string list = arg.substr(9) + ",";
      for (size_t at = 0, comma; (comma = list.find(',', at)) != std::string::npos; at = comma + 1)
        printer.levels.push_back(list.substr(at, comma - at));
    } else if (arg.rfind("--state=", 0) == 0) {
      printer.state = octetsFromHex(arg.substr(8));
    } else {
      return usage();
    }
  }
  if (i + 1 >= argc)
    return usage();
  char **program = argv + i + 1;

  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    std::perror("fake_backend: socketpair");
    return 1;
  }
  const pid_t pid = fork();
  if (pid < 0) {
    std::perror("fake_backend: fork");
    return 1;
  }
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    dup2(ends[0], CUPS_SC_FD);
    execvp(program[0], program);
    std::perror("fake_backend: exec");
    _exit(127);
  }
  child = pid;
  close(ends[0]);  // the filter's exit then ends the conversation
  std::thread backend([&] { printer.serve(ends[1]); });
  struct sigaction forward = {};
  forward.sa_handler = passOn;
  sigemptyset(&forward.sa_mask);
  sigaction(SIGTERM, &forward, nullptr);
  sigaction(SIGINT, &forward, nullptr);

  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  shutdown(ends[1], SHUT_RDWR);
  backend.join();
  close(ends[1]);
  if (WIFSIGNALED(status))
    return 128 + WTERMSIG(status);
  return WEXITSTATUS(status);
}
