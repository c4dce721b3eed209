// arvex-printer-app: the IPP Everywhere Printer Application for Arvex
// printers. papplMainloop gives it the usual sub-commands (server, add,
// printers, submit, status, ...); the server side is set up here.

#include "printer_app.h"

#include "dnssd_names.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <iterator>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef ARVEX_APP_VERSION
#define ARVEX_APP_VERSION "0.1.0"
#endif

namespace arvex::app {

namespace {

// Default places of a server run as root (as its systemd unit does); other
// users keep theirs under $XDG_STATE_HOME or ~/.local/state.
constexpr char kRootSpool[] = "/var/spool/arvex-printer-app";
constexpr char kRootState[] = "/var/lib/arvex-printer-app/arvex-printer-app.state";

std::string statePath;    // set once, before the server's threads start
std::string programName;  // the base name of argv[0], which names the local socket
bool debugShowsSecrets = false;  // -o debug-logs-secrets=yes

const char *option(int count, cups_option_t *options, const char *name, const char *fallback = nullptr)
{
  const char *value = cupsGetOption(name, count, options);
  return value ? value : fallback;
}

// Create the directory of path and the directories above it.
void makeParents(const std::string &path)
{
  for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
    mkdir(path.substr(0, slash).c_str(), 0700);
}

// Save the state into a file that only root reads: it holds the printers'
// login passwords and keys.
bool saveState(pappl_system_t *system, void * /*data*/)
{
  const int fd = open(statePath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  if (fd >= 0) {
    fchmod(fd, 0600);
    close(fd);
  }
  return papplSystemSaveState(system, statePath.c_str()) && saveSecrets(statePath + ".secrets");
}

pappl_loglevel_t logLevel(const char *name)
{
  static const char *const kLevels[] = {"debug", "info", "warn", "error", "fatal"};
  for (int i = 0; name && i < static_cast<int>(std::size(kLevels)); ++i)
    if (std::strcmp(name, kLevels[i]) == 0)
      return static_cast<pappl_loglevel_t>(PAPPL_LOGLEVEL_DEBUG + i);
  return PAPPL_LOGLEVEL_UNSPEC;
}

// The local domain socket of the server, as PAPPL names it.
std::string socketPath()
{
  if (getuid() == 0)
    return "/run/" + programName + ".sock";
  const char *tmp = std::getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/" + programName + std::to_string(getuid()) + ".sock";
}

// The local socket, which libcups creates for everyone (mode 0777) and
// whose clients PAPPL treats as administrators, for root and the
// administrators' group only (the server's user only, for a server not run
// as root). PAPPL makes it after the system, so the first tick does this.
void restrictSocket(pappl_system_t *system)
{
  char group[256] = "";
  papplSystemGetAdminGroup(system, group, sizeof(group));
  struct group entry {}, *found = nullptr;
  char buffer[16384];
  if (getuid() == 0 && *group)
    getgrnam_r(group, &entry, buffer, sizeof(buffer), &found);
  const std::string path = socketPath();
  if (found && chown(path.c_str(), 0, found->gr_gid) != 0)
    papplLog(system, PAPPL_LOGLEVEL_ERROR, "Can't give %s to the group %s: %s", path.c_str(), group,
             std::strerror(errno));
  if (chmod(path.c_str(), found ? 0770 : 0700) != 0)
    papplLog(system, PAPPL_LOGLEVEL_ERROR, "Can't restrict %s: %s", path.c_str(), std::strerror(errno));
}

// The server's tick, every second: the local socket restricted (once),
// debug logging off unless asked for with its secrets, the secrets of ended
// jobs and of deleted printers forgotten.
bool tick(pappl_system_t *system, void * /*data*/)
{
  static bool restricted = false;
  if (!restricted) {
    restrictSocket(system);
    restricted = true;
  }
  if (papplSystemGetLogLevel(system) == PAPPL_LOGLEVEL_DEBUG && !debugShowsSecrets) {
    papplSystemSetLogLevel(system, PAPPL_LOGLEVEL_INFO);
    papplLog(system, PAPPL_LOGLEVEL_WARN, "Debug logging writes every request's values, PINs and passwords among "
                                          "them; it takes -o debug-logs-secrets=yes. Logging at info.");
  }
  forgetStaleSecrets(system);
  if (forgetDeletedSecrets(system))
    saveSecrets(statePath + ".secrets");
  return true;
}

// Each new printer: its web page of passwords and keys, and a DNS-SD name
// that no other program on this host announces.
void printerCreated(pappl_printer_t *printer, void *data)
{
  addPrinterPages(printer, data);
  claimPrinterName(printer);
}

std::string userStateDirectory()
{
  if (const char *xdg = std::getenv("XDG_STATE_HOME"))
    return xdg;
  const char *home = std::getenv("HOME");
  return std::string(home ? home : "/tmp") + "/.local/state";
}

pappl_system_t *createSystem(int count, cups_option_t *options, void * /*data*/)
{
  const bool root = getuid() == 0;
  const std::string home = userStateDirectory();
  const std::string spool = option(count, options, "spool-directory",
                                   root ? kRootSpool : (home + "/arvex-printer-app/spool").c_str());
  statePath = option(count, options, "state-file", root ? kRootState : (home + "/arvex-printer-app/state").c_str());
  makeParents(spool + "/");
  makeParents(statePath);
  setAuthService(option(count, options, "auth-service"));
  const pappl_loglevel_t level = logLevel(option(count, options, "log-level"));
  debugShowsSecrets = std::strcmp(option(count, options, "debug-logs-secrets", "no"), "yes") == 0;
  if (level == PAPPL_LOGLEVEL_DEBUG && !debugShowsSecrets) {
    std::fputs("arvex-printer-app: log-level=debug writes every request's values, PINs and passwords among them, "
               "to the log; add -o debug-logs-secrets=yes to run so.\n",
               stderr);
    return nullptr;
  }

  // The web pages' security and TLS settings are the administrator's; TLS
  // alone only when asked.
  const char *portText = option(count, options, "server-port", "8000");
  const char *tlsOnly = option(count, options, "tls-only", "no");
  pappl_system_t *system = papplSystemCreate(
      PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_WEB_INTERFACE | PAPPL_SOPTIONS_WEB_LOG |
          PAPPL_SOPTIONS_WEB_SECURITY | PAPPL_SOPTIONS_WEB_TLS,
      option(count, options, "system-name", "Arvex Printer Application"), std::atoi(portText), "_print,_universal",
      spool.c_str(), option(count, options, "log-file", "syslog"), level,
      option(count, options, "auth-service"), std::strcmp(tlsOnly, "yes") == 0 || std::strcmp(tlsOnly, "true") == 0);
  if (!system)
    return nullptr;
  if (!cupsGetOption("private-server", count, options))
    papplSystemAddListeners(system, option(count, options, "listen-hostname"));
  papplSystemSetHostName(system, option(count, options, "server-hostname"));
  if (const char *group = option(count, options, "admin-group"))
    papplSystemSetAdminGroup(system, group);
  if (const char *group = option(count, options, "print-group"))
    papplSystemSetDefaultPrintGroup(system, group);
  papplSystemSetAuthCallback(system, "Basic", checkRequest, nullptr);
  papplSystemSetPrinterDrivers(system, kNumDrivers, kDrivers, autoAddCallback, printerCreated, driverCallback,
                               nullptr);
  addWebStrings(system);
  papplSystemSetFooterHTML(system, "Arvex Printer Application " ARVEX_APP_VERSION);
  startSnmp();
  papplSystemAddTimerCallback(system, 0, 1, pollSupplies, nullptr);
  papplSystemAddTimerCallback(system, 0, 1, tick, nullptr);
  papplSystemLoadState(system, statePath.c_str());
  claimSystemName(system);
  loadSecrets(statePath + ".secrets");
  papplSystemIteratePrinters(
      system,
      [](pappl_printer_t *printer, void *) {
        sweepSecrets(printer);
        showSecrets(printer);
      },
      nullptr);
  papplSystemSetSaveCallback(system, saveState, nullptr);
  return system;
}

}  // namespace

std::string ppdDirectory()
{
  const char *dir = std::getenv("ARVEX_PPD_DIR");
  return dir && *dir ? dir : ARVEX_PPD_DIR;
}

std::string dataDirectory()
{
  const char *dir = std::getenv("ARVEX_PRINTER_APP_DATADIR");
  return dir && *dir ? dir : ARVEX_APP_DATADIR;
}

// Why the command line can't be run, or nullptr: it gives a job a secret
// (the sub-commands reach the server over its local socket, where the
// secrets of a job can't be kept out of its attributes, and they drop a PIN,
// job-password, on the way, so that the job would print unlocked), or a
// printer a default password or key (which the server takes only where it
// can keep it out of the printer's attributes).
const char *secretOnCommandLine(int argc, char *argv[])
{
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.starts_with("-o") && arg.size() > 2)
      arg.erase(0, 2);
    else if (arg == "-o" && i + 1 < argc)
      arg = argv[++i];
    else
      continue;
    const std::string name = arg.substr(0, arg.find('=')), base = name.substr(0, name.rfind("-default"));
    if (isJobSecret(name.c_str()))
      return "a PIN or password can't go to a job from the command line (the local socket can't keep it out of the "
             "job); print it over IPP, e.g. with ipptool or a CUPS queue.";
    if (name.ends_with("-default") && isSecret(base.c_str()))
      return "a printer's default password or key is set on its web page \"Passwords and Keys\" (or with "
             "Set-Printer-Attributes over IPP), not from the command line.";
  }
  return nullptr;
}

}  // namespace arvex::app

int main(int argc, char *argv[])
{
  using namespace arvex::app;
  // A printer that closes its connection mid-job is a failed write, not the
  // end of the server.
  std::signal(SIGPIPE, SIG_IGN);
  // The writers take custom texts from the PPD as they stand only under a
  // scheduler newer than CUPS 2.0, which they learn from SOFTWARE, as the
  // filter does under cupsd. Set before any thread exists.
  const std::string software = "CUPS/" + std::to_string(CUPS_VERSION_MAJOR) + "." + std::to_string(CUPS_VERSION_MINOR);
  setenv("SOFTWARE", software.c_str(), 1);
  umask(077);
  if (const char *why = argc > 1 && std::strcmp(argv[1], "server") != 0 ? secretOnCommandLine(argc, argv) : nullptr) {
    std::fprintf(stderr, "arvex-printer-app: %s\n", why);
    return 1;
  }
  const char *slash = std::strrchr(argv[0], '/');
  programName = slash ? slash + 1 : argv[0];
  if (const int status = runByPrinterId(argc, argv, socketPath()); status >= 0)
    return status;
  return papplMainloop(argc, argv, ARVEX_APP_VERSION, nullptr, kNumDrivers, kDrivers, autoAddCallback, driverCallback,
                       nullptr, nullptr, createSystem, nullptr, nullptr);
}
