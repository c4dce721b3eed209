// The DNS-SD service names of the server and its printers, kept apart from
// those another program on this host announces. PAPPL 1.3.1 renames a
// service when another host claims its name, but one that a program on this
// host (a second Printer Application, say) already announces fails with
// "Local name collision" and is never announced at all.
#ifndef ARVEX_APP_DNSSD_NAMES_H
#define ARVEX_APP_DNSSD_NAMES_H

#include <pappl/pappl.h>

#include <string>

namespace arvex::app {

// NAME when no program on this host announces a service of that name and
// type (e.g. "_ipp._tcp") through Avahi, else the first of "NAME #2",
// "NAME #3", ... that none announces; NAME too when Avahi isn't running.
std::string freeServiceName(const std::string &name, const char *type);

// The server's name (_ipps-system._tcp), checked before the server starts.
void claimSystemName(pappl_system_t *system);

// A printer's name (_ipp._tcp), checked as it is created; one created while
// the server runs is announced here, which PAPPL 1.3.1's Create-Printer
// leaves out.
void claimPrinterName(pappl_printer_t *printer);

}  // namespace arvex::app

#endif
