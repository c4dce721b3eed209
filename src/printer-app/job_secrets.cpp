// A job's secrets out of its attributes (see job_secrets.h).

#include "job_secrets.h"

#include "block_values.h"

#include <arvex/jobcontrol.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <set>
#include <sys/random.h>
#include <vector>

#include "printer_app.h"

namespace arvex::app {

namespace {

const char *const kJobSecretNames[] = {"job-password", "arvex-login-password", "arvex-encryption-key",
                                       "arvex-folder-password"};
constexpr time_t kUnclaimedSeconds = 60;  // how long secrets wait for their job to appear

struct Kept {
  SecretValues values;
  time_t since = 0;
};

std::mutex mutex;
std::map<std::string, Kept> kept;  // by handle; guarded by mutex

void wipe(std::string &text)
{
  explicit_bzero(text.data(), text.size());
  text.clear();
}

// 128 random bits as hex.
std::string newHandle()
{
  std::string bits(16, '\0');
  size_t got = 0;
  while (got < bits.size()) {
    const ssize_t n = getrandom(bits.data() + got, bits.size() - got, 0);
    if (n > 0)
      got += static_cast<size_t>(n);
  }
  return hex(bits);
}

// A secret's value as it came, or nullptr for a type no secret may have.
const char *valueOf(ipp_attribute_t *attr, std::string &value)
{
  const ipp_tag_t tag = ippGetValueTag(attr);
  if (tag == IPP_TAG_STRING) {
    int length = 0;
    const auto *bytes = static_cast<const char *>(ippGetOctetString(attr, 0, &length));
    value.assign(bytes ? bytes : "", bytes ? static_cast<size_t>(length) : 0);
    return value.c_str();
  }
  if (tag != IPP_TAG_TEXT && tag != IPP_TAG_TEXTLANG && tag != IPP_TAG_NAME && tag != IPP_TAG_NAMELANG &&
      tag != IPP_TAG_KEYWORD)
    return nullptr;
  value = ippGetString(attr, 0, nullptr);
  return value.c_str();
}

// Why a secret can't be used, without its value; nullptr when it can.
const char *secretProblem(ipp_attribute_t *attr, const std::string &name, const char *encryption, std::string &value)
{
  if (ippGetCount(attr) != 1 || !valueOf(attr, value))
    return "has the wrong type";
  if (name == "job-password")
    return arvex::ps::pinProblem(value, encryption ? encryption : "");
  if (name == "arvex-folder-password")
    return isValidPassword(value.c_str()) ? nullptr : "is not 4 to 8 digits";
  return vendorProblem(attr, IPP_TAG_TEXT);
}

int jobIdOf(ipp_t *request)
{
  ipp_attribute_t *id = ippFindAttribute(request, "job-id", IPP_TAG_INTEGER);
  return id ? ippGetInteger(id, 0) : 0;
}

}  // namespace

SecretValues::SecretValues(SecretValues &&other) noexcept : values_(std::move(other.values_))
{
  other.clear();
}

SecretValues &SecretValues::operator=(SecretValues &&other) noexcept
{
  if (this != &other) {
    clear();
    values_ = std::move(other.values_);
    other.clear();
  }
  return *this;
}

void SecretValues::set(const std::string &name, const std::string &value)
{
  std::string &slot = values_[name];
  wipe(slot);
  slot = value;
}

const std::string *SecretValues::find(const std::string &name) const
{
  const auto found = values_.find(name);
  return found == values_.end() ? nullptr : &found->second;
}

void SecretValues::clear()
{
  for (auto &[name, value] : values_)
    wipe(value);
  values_.clear();
}

bool isJobSecret(const char *name)
{
  for (const char *secret : kJobSecretNames)
    if (name && std::strcmp(name, secret) == 0)
      return true;
  return false;
}

bool takeRequestSecrets(pappl_client_t *client, ipp_t *request, ipp_op_t op, ipp_attribute_t *&bad, std::string &why)
{
  while (ipp_attribute_t *forged = ippFindAttribute(request, kSecretsHandle, IPP_TAG_ZERO))
    ippDeleteAttribute(request, forged);
  ipp_attribute_t *encryptionAttr = ippFindAttribute(request, "job-password-encryption", IPP_TAG_ZERO);
  const char *encryption = encryptionAttr ? ippGetString(encryptionAttr, 0, nullptr) : nullptr;

  SecretValues found;
  std::vector<ipp_attribute_t *> taken;
  std::string value;
  for (ipp_attribute_t *attr = ippFirstAttribute(request); attr; attr = ippNextAttribute(request)) {
    const char *name = ippGetName(attr);
    if (!isJobSecret(name))
      continue;
    if (const char *problem = secretProblem(attr, name, encryption, value)) {
      wipe(value);
      bad = attr;
      why = std::strcmp(name, "job-password") == 0 ? std::string(problem) : std::string(name) + " " + problem;
      return false;
    }
    found.set(name, value);
    wipe(value);
    taken.push_back(attr);
  }
  for (ipp_attribute_t *attr : taken)
    ippDeleteAttribute(request, attr);
  if (op == IPP_OP_VALIDATE_JOB || found.empty())
    return true;

  const std::lock_guard<std::mutex> lock(mutex);
  if (op == IPP_OP_SEND_DOCUMENT && papplClientGetPrinter(client)) {
    pappl_job_t *job = papplPrinterFindJob(papplClientGetPrinter(client), jobIdOf(request));
    const char *handle = job ? ippGetString(papplJobGetAttribute(job, kSecretsHandle), 0, nullptr) : nullptr;
    if (const auto owner = handle ? kept.find(handle) : kept.end(); owner != kept.end()) {
      for (const char *name : kJobSecretNames)
        if (const std::string *secret = found.find(name))
          owner->second.values.set(name, *secret);
      return true;
    }
  }
  const std::string handle = newHandle();
  kept[handle] = {std::move(found), std::time(nullptr)};
  ippAddString(request, IPP_TAG_JOB, IPP_TAG_KEYWORD, kSecretsHandle, nullptr, handle.c_str());
  return true;
}

bool takeJobSecrets(pappl_job_t *job, SecretValues &secrets)
{
  for (const char *name : kJobSecretNames) {
    if (papplJobGetAttribute(job, name)) {
      papplJobSetMessage(job, "The job's %s came where the server can't take it out of the job (the local socket); "
                              "the job is not printed.", name);
      return false;
    }
  }
  const char *handle = ippGetString(papplJobGetAttribute(job, kSecretsHandle), 0, nullptr);
  if (!handle)
    return true;
  const std::lock_guard<std::mutex> lock(mutex);
  const auto found = kept.find(handle);
  if (found == kept.end()) {
    papplJobSetMessage(job, "The job's PIN or passwords were lost when the server restarted; send the job again.");
    return false;
  }
  secrets = std::move(found->second.values);
  kept.erase(found);
  return true;
}

void forgetStaleSecrets(pappl_system_t *system)
{
  // The handles of the jobs there are, and whether each job has ended.
  std::map<std::string, bool> jobs;
  papplSystemIteratePrinters(
      system,
      [](pappl_printer_t *printer, void *data) {
        papplPrinterIterateAllJobs(
            printer,
            [](pappl_job_t *job, void *jobs) {
              if (const char *handle = ippGetString(papplJobGetAttribute(job, kSecretsHandle), 0, nullptr))
                (*static_cast<std::map<std::string, bool> *>(jobs))[handle] =
                    papplJobGetState(job) >= IPP_JSTATE_CANCELED;
            },
            data, 1, 0);
      },
      &jobs);
  const time_t now = std::time(nullptr);
  const std::lock_guard<std::mutex> lock(mutex);
  for (auto entry = kept.begin(); entry != kept.end();) {
    const auto job = jobs.find(entry->first);
    const bool stale = job != jobs.end() ? job->second : now - entry->second.since > kUnclaimedSeconds;
    entry = stale ? kept.erase(entry) : std::next(entry);
  }
}

}  // namespace arvex::app
