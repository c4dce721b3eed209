// arvex-printer-app: the IPP Everywhere Printer Application for Arvex
// printers. papplMainloop gives it the usual sub-commands (server, add,
// printers, submit, status, ...); the server side is set up here.

#include "printer_app.h"

#include <csignal>
#include <iterator>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
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

std::string statePath;  // set once, before the server's threads start

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

  // The web pages' security and TLS settings are the administrator's; TLS
  // alone only when asked.
  const char *portText = option(count, options, "server-port", "8000");
  const char *tlsOnly = option(count, options, "tls-only", "no");
  pappl_system_t *system = papplSystemCreate(
      PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_WEB_INTERFACE | PAPPL_SOPTIONS_WEB_LOG |
          PAPPL_SOPTIONS_WEB_SECURITY | PAPPL_SOPTIONS_WEB_TLS,
      option(count, options, "system-name", "Arvex Printer Application"), std::atoi(portText), "_print,_universal",
      spool.c_str(), option(count, options, "log-file", "syslog"), logLevel(option(count, options, "log-level")),
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
  papplSystemSetPrinterDrivers(system, kNumDrivers, kDrivers, autoAddCallback, nullptr, driverCallback, nullptr);
  papplSystemSetFooterHTML(system, "Arvex Printer Application " ARVEX_APP_VERSION);
  startSnmp();
  papplSystemAddTimerCallback(system, 0, 1, pollSupplies, nullptr);
  papplSystemLoadState(system, statePath.c_str());
  loadSecrets(statePath + ".secrets");
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
  return papplMainloop(argc, argv, ARVEX_APP_VERSION, nullptr, kNumDrivers, kDrivers, autoAddCallback, driverCallback,
                       nullptr, nullptr, createSystem, nullptr, nullptr);
}
