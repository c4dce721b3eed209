// Names of the PPD attributes that hold ready PostScript for a setting:
// prefix, option name and choice joined, e.g. AXCMDOutputBinDefault.
#ifndef ARVEX_PPD_COMMAND_NAME_H
#define ARVEX_PPD_COMMAND_NAME_H

#include <cstddef>

namespace arvex {

// Room for an attribute name, terminator included.
constexpr size_t kPPDCommandNameSize = 256;

// Join the three parts into name (zero-filled first), cut to 255 bytes.
void buildPPDCommandName(char (&name)[kPPDCommandNameSize], const char *prefix, const char *option,
                         const char *choice);

}  // namespace arvex

#endif
