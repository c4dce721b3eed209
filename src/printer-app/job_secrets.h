// The secrets of a job: a PIN (job-password), a login password, an
// encryption key, a document-server folder password. PAPPL would keep
// whatever a request brings in the job's attributes, which every client may
// read and the state file saves; so the authorization callback takes the
// secrets out of the request and keeps them here, in memory only, under an
// unguessable handle that the job carries instead. The job takes them back
// when it prints; they are wiped then, or when the job ends without
// printing. The printers' own default passwords and keys are
// secret_settings.cpp's.
#ifndef ARVEX_APP_JOB_SECRETS_H
#define ARVEX_APP_JOB_SECRETS_H

#include <pappl/pappl.h>

#include <map>
#include <string>

namespace arvex::app {

// The job attribute that holds the handle.
constexpr char kSecretsHandle[] = "arvex-job-secrets";

// Secret values by attribute name, wiped from memory when they go.
class SecretValues {
public:
  SecretValues() = default;
  SecretValues(const SecretValues &) = delete;
  SecretValues &operator=(const SecretValues &) = delete;
  SecretValues(SecretValues &&other) noexcept;
  SecretValues &operator=(SecretValues &&other) noexcept;
  ~SecretValues() { clear(); }

  void set(const std::string &name, const std::string &value);
  const std::string *find(const std::string &name) const;
  bool empty() const { return values_.empty(); }
  void clear();

private:
  std::map<std::string, std::string> values_;
};

// Whether name is an attribute that holds a secret of a job.
bool isJobSecret(const char *name);

// In the authorization callback of Print-Job, Create-Job, Validate-Job and
// Send-Document: take the secrets out of the request, whichever group they
// came in, and drop a handle the client sent. A secret that can't be used
// (a PIN that is not 4 to 8 digits or arrives hashed, a text of the wrong
// type or length) leaves bad pointing at its attribute and why saying why,
// without its value; the request is left to be refused. Else, but for
// Validate-Job, the secrets are kept under a handle put into the request's
// job group (for Send-Document: the job's own handle, when it has one).
bool takeRequestSecrets(pappl_client_t *client, ipp_t *request, ipp_op_t op, ipp_attribute_t *&bad,
                        std::string &why);

// At print time: the job's secrets, out of the store. false, with the job's
// message set, when the job's handle has no secrets behind it (the server
// restarted) or a secret stands in the job's attributes (it came where the
// callback didn't see it): such a job is never printed without its secret.
bool takeJobSecrets(pappl_job_t *job, SecretValues &secrets);

// On the server's timer: forget the secrets of jobs that have ended, and
// those no job took up within a minute.
void forgetStaleSecrets(pappl_system_t *system);

}  // namespace arvex::app

#endif
