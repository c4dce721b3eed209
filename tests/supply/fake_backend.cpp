// fake_backend: runs a program (a CUPS filter) with descriptor 4 connected
// to a scripted backend end of the side channel, the way the scheduler
// connects a filter to its queue's backend.
//
//   fake_backend [--silent] [--levels=N,N,N,N] [--state=HEXOCTETS] -- program [args...]
//
// SNMP requests for the marker levels get the given levels (marker k gets
// the k-th number), the printer-state request gets the octets, any other
// identifier is missing; --silent never answers. The device-ID request is
// answered with an "RTN:" field carrying the same levels. Exits with the
// program's status; SIGTERM and SIGINT are passed on to it.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <cups/sidechannel.h>

#include "FakeBackend.h"

namespace {

using arvex::test::SideChannelAnswer;
using arvex::test::SideChannelRequest;

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

}  // namespace

int main(int argc, char *argv[])
{
  bool silent = false;
  std::vector<std::string> levels = {"80", "60", "40", "20"};
  std::string state;
  int i = 1;
  for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    const std::string arg = argv[i];
    if (arg == "--silent") {
      silent = true;
    } else if (arg.rfind("--levels=", 0) == 0) {
      levels.clear();
      std::string list = arg.substr(9) + ",";
      for (size_t at = 0, comma; (comma = list.find(',', at)) != std::string::npos; at = comma + 1)
        levels.push_back(list.substr(at, comma - at));
    } else if (arg.rfind("--state=", 0) == 0) {
      state = octetsFromHex(arg.substr(8));
    } else {
      return usage();
    }
  }
  if (i + 1 >= argc)
    return usage();
  char **program = argv + i + 1;

  const std::string levelOid = ".1.3.6.1.4.1.32473.3.2.1.2.24.1.1.5.";
  const std::string stateOid = ".1.3.6.1.2.1.25.3.5.1.2.1";
  arvex::test::FakeBackend backend([&](const SideChannelRequest &request, int) {
    if (silent)
      return SideChannelAnswer::none();
    if (request.command == CUPS_SC_CMD_GET_DEVICE_ID) {
      std::string rtn;
      for (const auto &level : levels)
        rtn += (rtn.empty() ? "" : ",") + level;
      return SideChannelAnswer::text("MFG:Arvex;MDL:Office C4500;RTN:x/" + rtn + ";");
    }
    if (request.command != CUPS_SC_CMD_SNMP_GET)
      return SideChannelAnswer::failure(CUPS_SC_STATUS_NOT_IMPLEMENTED);
    if (request.data == stateOid)
      return SideChannelAnswer::octets(state);
    if (request.data.rfind(levelOid, 0) == 0) {
      const size_t k = std::strtoul(request.data.c_str() + levelOid.size(), nullptr, 10);
      if (k >= 1 && k <= levels.size())
        return SideChannelAnswer::text(levels[k - 1]);
    }
    return SideChannelAnswer::octets("");
  });

  const pid_t pid = fork();
  if (pid < 0) {
    std::perror("fake_backend: fork");
    return 1;
  }
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    dup2(backend.filterEnd(), CUPS_SC_FD);
    execvp(program[0], program);
    std::perror("fake_backend: exec");
    _exit(127);
  }
  child = pid;
  backend.closeFilterEnd();
  struct sigaction forward = {};
  forward.sa_handler = passOn;
  sigemptyset(&forward.sa_mask);
  sigaction(SIGTERM, &forward, nullptr);
  sigaction(SIGINT, &forward, nullptr);

  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  if (WIFSIGNALED(status))
    return 128 + WTERMSIG(status);
  return WEXITSTATUS(status);
}
