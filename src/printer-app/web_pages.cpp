// The web pages: labels for the vendor attributes and their keywords, and
// each printer's page "Passwords and Keys".
//
// PAPPL labels a vendor attribute on its page "Printing Defaults" with the
// localized text of its name and a keyword with that of "NAME.KEYWORD", in
// the language of the browser's Accept-Language (the first it has strings
// for, a region's tag falling back to the language's). The strings (UTF-8,
// from strings/*.strings) are English, Japanese, Traditional Chinese and
// Korean, the languages whose character sets the printers take; PAPPL's
// other languages get the English labels.
//
// The default login password, encryption key and folder password are set on
// the page "Passwords and Keys", an administrator's (PAPPL's own check, with
// its CSRF token), in password inputs that never hold a value: the page
// shows whether each is set, an empty input keeps it, a checked "Clear"
// removes it. What is entered goes to the store of secret_settings.cpp and
// never into the printer's attributes.

#include "printer_app.h"

#include <arvex/jobcontrol.h>
#include <arvex/userauth.h>

#include <cstring>
#include <string>
#include <utility>

#include "app_strings.h"  // generated from strings/*.strings by pappl-makeresheader

namespace arvex::app {

namespace {

constexpr char kTitle[] = "Passwords and Keys";
constexpr char kClear[] = "-clear";  // name suffix of the checkbox that removes a secret

// Why a value can't be the printer's default of secret name, as a key of
// the strings with %s for the secret's label; nullptr when it can.
const char *valueProblem(const std::string &name, const char *value)
{
  if (name == "arvex-folder-password")
    return isValidPassword(value) ? nullptr : "%s is not 4 to 8 digits.";
  if (name == "arvex-encryption-key")  // the filter would drop it
    return isValidEncryptionKey(value) == 0 && isPjlSafe(value) ? nullptr
                                                                 : "%s is not up to 32 ASCII letters, digits and symbols.";
  return std::strlen(value) <= kMaxVendorText && isPjlSafe(value)
             ? nullptr
             : "%s is too long or holds a control character or a double quote.";
}

// Read the posted form into changes; what the page says of it. changes
// stays empty when the form is refused or a value can't be used.
std::string readForm(pappl_client_t *client, const std::vector<std::string> &names, SecretValues &changes)
{
  cups_option_t *form = nullptr;
  const int count = papplClientGetForm(client, &form);
  std::string said = papplClientGetLocString(client, "Changes saved.");
  if (count == 0) {
    said = papplClientGetLocString(client, "Invalid form data.");
  } else if (!papplClientIsValidForm(client, count, form)) {
    said = papplClientGetLocString(client, "Invalid form submission.");
  } else {
    for (const std::string &name : names) {
      const char *value = cupsGetOption(name.c_str(), count, form);
      if (cupsGetOption((name + kClear).c_str(), count, form)) {
        changes.set(name, "");
      } else if (value && *value) {
        if (const char *problem = valueProblem(name, value)) {
          char text[1024];
          said = papplLocFormatString(papplClientGetLoc(client), text, sizeof(text), problem,
                                      papplClientGetLocString(client, name.c_str()));
          changes.clear();
          break;
        }
        changes.set(name, value);
      }
    }
  }
  cupsFreeOptions(count, form);
  return said;
}

// The page of printer (data): GET shows the form, POST saves it first.
bool secretsPage(pappl_client_t *client, void *data)
{
  auto *printer = static_cast<pappl_printer_t *>(data);
  if (!papplClientHTMLAuthorize(client))
    return false;  // answered, the request's body unread
  const std::vector<std::string> names = secretNames(printer);
  std::string message;
  if (papplClientGetMethod(client) == HTTP_STATE_POST) {
    SecretValues changes;
    message = readForm(client, names, changes);
    if (!changes.empty())
      changeSecrets(printer, changes);
  }

  papplClientHTMLPrinterHeader(client, printer, kTitle, 0, nullptr, nullptr);
  if (!message.empty())
    papplClientHTMLPrintf(client, "          <div class=\"banner\">%s</div>\n", message.c_str());
  papplClientHTMLStartForm(client, papplClientGetURI(client), false);
  papplClientHTMLPrintf(client, "          <p>%s</p>\n", papplClientGetLocString(client, "An empty field keeps its value; "
                                                                                    "a value entered is never shown "
                                                                                    "again."));
  papplClientHTMLPuts(client, "          <table class=\"form\">\n            <tbody>\n");
  for (const std::string &name : names) {
    const bool set = hasSecret(printer, name.c_str());
    const bool digits = name == "arvex-folder-password";
    papplClientHTMLPrintf(client,
                          "              <tr><th>%s:</th><td><input type=\"password\" name=\"%s\" "
                          "autocomplete=\"new-password\" maxlength=\"%d\"",
                          papplClientGetLocString(client, name.c_str()), name.c_str(),
                          digits ? 8 : static_cast<int>(kMaxVendorText));
    papplClientHTMLPuts(client, digits ? " inputmode=\"numeric\">" : ">");
    papplClientHTMLPrintf(client, " %s", papplClientGetLocString(client, set ? "(set)" : "(not set)"));
    if (set)
      papplClientHTMLPrintf(client, " <label><input type=\"checkbox\" name=\"%s%s\"> %s</label>", name.c_str(),
                            kClear, papplClientGetLocString(client, "Clear"));
    papplClientHTMLPuts(client, "</td></tr>\n");
  }
  papplClientHTMLPrintf(client,
                        "              <tr><th></th><td><input type=\"submit\" value=\"%s\"></td></tr>\n"
                        "            </tbody>\n          </table>\n        </form>\n",
                        papplClientGetLocString(client, "Save Changes"));
  papplClientHTMLPrinterFooter(client);
  return true;
}

}  // namespace

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

void addPrinterPages(pappl_printer_t *printer, void * /*data*/)
{
  char path[1024];
  papplPrinterGetPath(printer, "secrets", path, sizeof(path));
  papplSystemAddResourceCallback(papplPrinterGetSystem(printer), path, "text/html", secretsPage, printer);
  papplPrinterAddLink(printer, kTitle, path,
                      static_cast<pappl_loptions_t>(PAPPL_LOPTIONS_NAVIGATION | PAPPL_LOPTIONS_STATUS |
                                                    PAPPL_LOPTIONS_HTTPS_REQUIRED));
}

}  // namespace arvex::app
