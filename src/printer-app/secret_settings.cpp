// The printers' default login passwords, encryption keys and folder
// passwords. They never stand in the printers' attributes, which any client
// may read: there the default reads kSecretSet or "". They live here and in
// a file of mode 0600 beside the state file.

#include "printer_app.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace arvex::app {

namespace {

const char *const kSecretNames[] = {"arvex-login-password", "arvex-encryption-key", "arvex-folder-password"};

std::mutex mutex;
std::map<std::pair<int, std::string>, std::string> secrets;  // by printer ID and name; guarded by mutex

std::string unhex(const std::string &text)
{
  std::string out;
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    unsigned value = 0;
    std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
    out += static_cast<char>(value);
  }
  return out;
}

}  // namespace

std::string hex(const std::string &bytes)
{
  std::string out;
  char digits[3];
  for (const unsigned char c : bytes) {
    std::snprintf(digits, sizeof(digits), "%02x", c);
    out += digits;
  }
  return out;
}

bool isSecret(const char *name)
{
  for (const char *secret : kSecretNames)
    if (std::strcmp(name, secret) == 0)
      return true;
  return false;
}

bool hasSecret(pappl_printer_t *printer, const char *name)
{
  const std::lock_guard<std::mutex> lock(mutex);
  return secrets.count({papplPrinterGetID(printer), name}) > 0;
}

namespace {

std::mutex markMutex;  // orders each change of the store with the marks that show it

// Make the printer's NAME-default of each of its secrets read kSecretSet or
// "" (caller holds markMutex). The secrets are not in the driver's vendor
// list, which PAPPL's page "Printing Defaults" shows as a form; PAPPL sets
// the defaults of the names in the list it is given, so it gets theirs.
void mark(pappl_printer_t *printer)
{
  std::unique_ptr<ipp_t, void (*)(ipp_t *)> attrs(papplPrinterGetDriverAttributes(printer), ippDelete);
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(printer, &data);
  data.num_vendor = 0;
  cups_option_t *marks = nullptr;
  int count = 0;
  bool changed = false;
  for (const char *name : kSecretNames) {
    const std::string defaultName = std::string(name) + "-default";
    const char *shown = ippGetString(ippFindAttribute(attrs.get(), defaultName.c_str(), IPP_TAG_ZERO), 0, nullptr);
    if (!shown)
      continue;  // the model hasn't this secret
    const char *wanted = hasSecret(printer, name) ? kSecretSet : "";
    changed = changed || std::strcmp(shown, wanted) != 0;
    data.vendor[data.num_vendor++] = name;
    count = cupsAddOption(name, wanted, count, &marks);
  }
  if (changed)
    papplPrinterSetDriverDefaults(printer, &data, count, marks);
  cupsFreeOptions(count, marks);
}

}  // namespace

std::vector<std::string> secretNames(pappl_printer_t *printer)
{
  std::unique_ptr<ipp_t, void (*)(ipp_t *)> attrs(papplPrinterGetDriverAttributes(printer), ippDelete);
  std::vector<std::string> names;
  for (const char *name : kSecretNames)
    if (ippFindAttribute(attrs.get(), (std::string(name) + "-default").c_str(), IPP_TAG_ZERO))
      names.emplace_back(name);
  return names;
}

void changeSecrets(pappl_printer_t *printer, const SecretValues &changes)
{
  const std::lock_guard<std::mutex> marking(markMutex);
  {
    const std::lock_guard<std::mutex> lock(mutex);
    for (const char *name : kSecretNames) {
      const std::string *value = changes.find(name);
      const std::pair<int, std::string> key{papplPrinterGetID(printer), name};
      if (value && !value->empty())
        secrets[key] = *value;
      else if (value)
        secrets.erase(key);
    }
  }
  mark(printer);
}

void showSecrets(pappl_printer_t *printer)
{
  const std::lock_guard<std::mutex> marking(markMutex);
  mark(printer);
}

void keepSecrets(pappl_printer_t *printer, ipp_t *request)
{
  SecretValues changes;
  for (const char *name : kSecretNames) {
    ipp_attribute_t *attr = ippFindAttribute(request, (std::string(name) + "-default").c_str(), IPP_TAG_ZERO);
    if (const char *value = attr ? ippGetString(attr, 0, nullptr) : nullptr)
      changes.set(name, value);
    if (attr)  // PAPPL would refuse it: it is no vendor attribute
      ippDeleteAttribute(request, attr);
  }
  if (!changes.empty())
    changeSecrets(printer, changes);
}

void sweepSecrets(pappl_printer_t *printer)
{
  const std::lock_guard<std::mutex> marking(markMutex);
  std::unique_ptr<ipp_t, void (*)(ipp_t *)> attrs(papplPrinterGetDriverAttributes(printer), ippDelete);
  bool moved = false;
  for (const char *name : kSecretNames) {
    const std::string defaultName = std::string(name) + "-default";
    const char *value = ippGetString(ippFindAttribute(attrs.get(), defaultName.c_str(), IPP_TAG_ZERO), 0, nullptr);
    if (!value || !*value || std::strcmp(value, kSecretSet) == 0)
      continue;
    const std::lock_guard<std::mutex> lock(mutex);
    secrets[{papplPrinterGetID(printer), name}] = value;
    moved = true;
  }
  if (moved)
    mark(printer);
}

std::string secretOf(pappl_printer_t *printer, const char *name)
{
  const std::lock_guard<std::mutex> lock(mutex);
  const auto found = secrets.find({papplPrinterGetID(printer), name});
  return found == secrets.end() ? std::string() : found->second;
}

bool saveSecrets(const std::string &path)
{
  std::ostringstream text;
  {
    const std::lock_guard<std::mutex> lock(mutex);
    for (const auto &[key, value] : secrets)
      text << key.first << ' ' << key.second << ' ' << hex(value) << '\n';
  }
  const std::string temporary = path + ".new";
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0)
    return false;
  const std::string data = text.str();
  const bool written = fchmod(fd, 0600) == 0 && write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size());
  return close(fd) == 0 && written && rename(temporary.c_str(), path.c_str()) == 0;
}

void loadSecrets(const std::string &path)
{
  std::ifstream file(path);
  int id = 0;
  std::string name, value;
  const std::lock_guard<std::mutex> lock(mutex);
  while (file >> id >> name >> value)
    if (isSecret(name.c_str()))
      secrets[{id, name}] = unhex(value);
}

bool forgetDeletedSecrets(pappl_system_t *system)
{
  const int next = papplSystemGetNextPrinterID(system);  // printers added from now on have this or more
  std::set<int> ids;
  papplSystemIteratePrinters(
      system,
      [](pappl_printer_t *printer, void *data) { static_cast<std::set<int> *>(data)->insert(papplPrinterGetID(printer)); },
      &ids);
  const std::lock_guard<std::mutex> lock(mutex);
  const size_t count = secrets.size();
  for (auto entry = secrets.begin(); entry != secrets.end();)
    if (entry->first.first < next && !ids.contains(entry->first.first)) {
      explicit_bzero(entry->second.data(), entry->second.size());
      entry = secrets.erase(entry);
    } else {
      ++entry;
    }
  return secrets.size() != count;
}

}  // namespace arvex::app
