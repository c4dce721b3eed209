// The web pages' labels for the vendor attributes and their keywords.
//
// PAPPL labels a vendor attribute on its page "Printing Defaults" with the
// localized text of its name and a keyword with that of "NAME.KEYWORD", in
// the language of the browser's Accept-Language (the first it has strings
// for, a region's tag falling back to the language's). The strings (UTF-8,
// from strings/*.strings) are English, Japanese, Traditional Chinese and
// Korean, the languages whose character sets the printers take; PAPPL's
// other languages get the English labels.

#include "printer_app.h"

#include <string>
#include <utility>

#include "app_strings.h"  // generated from strings/*.strings by pappl-makeresheader

namespace arvex::app {

void addWebStrings(pappl_system_t *system)
{
  const std::pair<const char *, const char *> strings[] = {
      {"en", en_strings}, {"ja", ja_strings}, {"zh-TW", zh_TW_strings}, {"ko", ko_strings},
      // PAPPL's other languages: English labels rather than attribute names.
      {"de", en_strings}, {"es", en_strings}, {"fr", en_strings}, {"it", en_strings}, {"nb-NO", en_strings},
      {"pl", en_strings}, {"tr", en_strings}};
  for (const auto &[language, data] : strings) {
    // The localization keeps the strings; the resource goes, as PAPPL 1.3.1
    // adds the language of each strings resource to the printer's own
    // attributes at every Get-Printer-Attributes, again and again.
    const std::string path = "/arvex-" + std::string(language) + ".strings";
    papplSystemAddStringsData(system, path.c_str(), language, data);
    papplSystemRemoveResource(system, path.c_str());
  }
}

}  // namespace arvex::app
