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

void keepSecrets(pappl_printer_t *printer, ipp_t *request)
{
  const std::lock_guard<std::mutex> lock(mutex);
  for (const char *name : kSecretNames) {
    ipp_attribute_t *attr = ippFindAttribute(request, (std::string(name) + "-default").c_str(), IPP_TAG_ZERO);
    const char *value = attr ? ippGetString(attr, 0, nullptr) : nullptr;
    if (!value)
      continue;
    const std::pair<int, std::string> key{papplPrinterGetID(printer), name};
    if (*value)
      secrets[key] = value;
    else
      secrets.erase(key);
    ippSetString(request, &attr, 0, *value ? kSecretSet : "");
  }
}

void sweepSecrets(pappl_printer_t *printer)
{
  std::unique_ptr<ipp_t, void (*)(ipp_t *)> attrs(papplPrinterGetDriverAttributes(printer), ippDelete);
  cups_option_t *moved = nullptr;
  int count = 0;
  for (const char *name : kSecretNames) {
    const std::string defaultName = std::string(name) + "-default";
    const char *value = ippGetString(ippFindAttribute(attrs.get(), defaultName.c_str(), IPP_TAG_ZERO), 0, nullptr);
    if (!value || std::strcmp(value, kSecretSet) == 0)
      continue;
    const std::lock_guard<std::mutex> lock(mutex);
    const std::pair<int, std::string> key{papplPrinterGetID(printer), name};
    if (*value) {
      secrets[key] = value;
      count = cupsAddOption(name, kSecretSet, count, &moved);
    } else {
      secrets.erase(key);
    }
  }
  if (count > 0) {
    pappl_pr_driver_data_t data;
    papplPrinterGetDriverData(printer, &data);
    papplPrinterSetDriverDefaults(printer, &data, count, moved);
  }
  cupsFreeOptions(count, moved);
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
