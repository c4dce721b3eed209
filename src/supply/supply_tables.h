// What the filter's reporting thread and the Printer Application both read
// from an Arvex printer, and how: the SNMP objects, the conditions of its
// error state, the device ID's levels field and the PPD's cycle times.
#ifndef ARVEX_SUPPLY_TABLES_H
#define ARVEX_SUPPLY_TABLES_H

#include <arvex/cups.h>

#include <optional>
#include <string_view>

namespace arvex::supply {

// The level of marker k (1-based) is kLevelOid + ".k": the private table's
// column 5, row k.
inline constexpr char kLevelOid[] = ".1.3.6.1.4.1.32473.3.2.1.2.24.1.1.5";
// hrPrinterDetectedErrorState of the first device (Host Resources MIB): one
// or two octets, the first one's high bit first.
inline constexpr char kPrinterStateOid[] = ".1.3.6.1.2.1.25.3.5.1.2.1";

// The printer's way of saying "some left, amount unknown".
inline constexpr int kLevelUnknownButPresent = -100;

// Seconds between two cycles when the PPD names none for the scheme.
inline constexpr int kDefaultCycleTime = 3;

// A condition of the error state (as a 16-bit number, first octet high)
// and the printer-state reason that reports it, with its severity suffix.
struct PrinterStateReason {
  int bits;
  const char *keyword;
};
inline constexpr int kNumPrinterStateReasons = 11;
extern const PrinterStateReason kPrinterStateReasons[kNumPrinterStateReasons];

// The levels text of a device ID's "RTN:" field, given the text after
// "RTN:": leading ';' skipped, up to the next ';', after its first '/'.
// nullopt when the field is empty or has no '/'. Points into field.
std::optional<std::string_view> rtnLevels(const char *field);

// The PPD's "AXSupplyLevelCycleTime" whose keyword is scheme, else
// kDefaultCycleTime; 0 means no cycles.
int cycleTimeFor(ppd_file_t *ppd, const char *scheme);

}  // namespace arvex::supply

#endif
