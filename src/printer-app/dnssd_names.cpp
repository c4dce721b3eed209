#include "dnssd_names.h"

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/simple-watch.h>

#include <memory>

namespace arvex::app {
namespace {

struct PollFree {
  void operator()(AvahiSimplePoll *poll) const { avahi_simple_poll_free(poll); }
};
struct ClientFree {
  void operator()(AvahiClient *client) const { avahi_client_free(client); }
};
struct GroupFree {
  void operator()(AvahiEntryGroup *group) const { avahi_entry_group_free(group); }
};

// A connection to this host's Avahi daemon, none when it isn't running.
class Avahi {
public:
  Avahi()
  {
    if (!poll_)
      return;
    int error = 0;
    client_.reset(avahi_client_new(
        avahi_simple_poll_get(poll_.get()), static_cast<AvahiClientFlags>(0),
        [](AvahiClient *, AvahiClientState, void *) {}, nullptr, &error));
  }

  // Whether another program announces NAME as TYPE here: the daemon refuses
  // a group that would hold it, before anything is sent. The group is never
  // committed, so nothing is announced.
  bool taken(const char *name, const char *type)
  {
    if (!client_)
      return false;
    const std::unique_ptr<AvahiEntryGroup, GroupFree> group(
        avahi_entry_group_new(client_.get(), [](AvahiEntryGroup *, AvahiEntryGroupState, void *) {}, nullptr));
    return group && avahi_entry_group_add_service(group.get(), AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC,
                                                  static_cast<AvahiPublishFlags>(0), name, type, nullptr, nullptr,
                                                  631, nullptr) == AVAHI_ERR_COLLISION;
  }

private:
  std::unique_ptr<AvahiSimplePoll, PollFree> poll_{avahi_simple_poll_new()};
  std::unique_ptr<AvahiClient, ClientFree> client_;
};

}  // namespace

std::string freeServiceName(const std::string &name, const char *type)
{
  Avahi avahi;
  std::string candidate = name;
  // Avahi's own way to the next name: "NAME #2", "NAME #3", ..., within 63
  // bytes. A hundred programs holding one name is a misconfiguration: give
  // up and let PAPPL report the clash.
  for (int tries = 0; tries < 100 && avahi.taken(candidate.c_str(), type); ++tries) {
    char *next = avahi_alternative_service_name(candidate.c_str());
    if (!next)
      return name;
    candidate = next;
    avahi_free(next);
  }
  return candidate;
}

void claimSystemName(pappl_system_t *system)
{
  char name[256];
  if (!papplSystemGetDNSSDName(system, name, sizeof(name)))
    return;
  if (const std::string free = freeServiceName(name, "_ipps-system._tcp"); free != name)
    papplSystemSetDNSSDName(system, free.c_str());
}

void claimPrinterName(pappl_printer_t *printer)
{
  char name[256];
  if (!papplPrinterGetDNSSDName(printer, name, sizeof(name)))
    return;
  const std::string free = freeServiceName(name, "_ipp._tcp");
  if (free != name || papplSystemIsRunning(papplPrinterGetSystem(printer)))
    papplPrinterSetDNSSDName(printer, free.c_str());
}

}  // namespace arvex::app
