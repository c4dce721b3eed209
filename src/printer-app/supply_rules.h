// What a printer's SNMP values and device ID mean in IPP (supply_rules.cpp).
#ifndef ARVEX_APP_SUPPLY_RULES_H
#define ARVEX_APP_SUPPLY_RULES_H

#include <pappl/pappl.h>

#include <optional>
#include <vector>

namespace arvex::app {

// A printer's level as IPP shows it: 0 to 100, or -3 ("some remaining") for
// the printer's -100; nullopt for anything else.
std::optional<int> ippLevel(long level);

// The IPP reasons of an error state (16 bits, first octet high): one per
// printer-state row set, "other" for rows without an IPP reason; an open door
// also as cover-open where PAPPL doesn't list door-open.
pappl_preason_t reasonsOf(int state);

// The levels of a device ID's "RTN:" field, one valid level per marker;
// nullopt without the field or with one malformed.
std::optional<std::vector<int>> rtnLevels(const char *deviceId, size_t markers);

}  // namespace arvex::app

#endif
