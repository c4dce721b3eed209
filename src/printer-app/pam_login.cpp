// Who a client is: HTTP Basic credentials checked by the PAM service that
// the administrator named, and membership of a group.

#include "printer_app.h"

#include <security/pam_appl.h>

#include <cstdlib>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <vector>

namespace arvex::app {

namespace {

std::string service;  // set once, before the server's threads start

struct Credentials {
  const char *user;
  const char *password;
};

// Answer PAM's prompts: the user name where it echoes, the password where
// it doesn't. PAM frees the answers.
int converse(int count, const pam_message **messages, pam_response **responses, void *data)
{
  const auto *credentials = static_cast<const Credentials *>(data);
  auto *answers = static_cast<pam_response *>(std::calloc(static_cast<size_t>(count), sizeof(pam_response)));
  if (!answers)
    return PAM_BUF_ERR;
  for (int i = 0; i < count; ++i) {
    const int style = messages[i]->msg_style;
    if (style == PAM_PROMPT_ECHO_ON || style == PAM_PROMPT_ECHO_OFF)
      answers[i].resp = strdup(style == PAM_PROMPT_ECHO_ON ? credentials->user : credentials->password);
  }
  *responses = answers;
  return PAM_SUCCESS;
}

bool pamAccepts(const char *user, const char *password)
{
  Credentials credentials{user, password};
  const pam_conv conversation{converse, &credentials};
  pam_handle_t *pam = nullptr;
  int status = pam_start(service.c_str(), user, &conversation, &pam);
  if (status == PAM_SUCCESS)
    status = pam_authenticate(pam, PAM_SILENT | PAM_DISALLOW_NULL_AUTHTOK);
  if (status == PAM_SUCCESS)
    status = pam_acct_mgmt(pam, PAM_SILENT);
  if (pam)
    pam_end(pam, status);
  return status == PAM_SUCCESS;
}

bool isMember(const char *user, gid_t group)
{
  passwd entry{}, *found = nullptr;
  std::vector<char> buffer(16384);
  if (getpwnam_r(user, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
    return false;
  if (found->pw_gid == group)
    return true;
  int count = 64;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  if (getgrouplist(user, found->pw_gid, groups.data(), &count) < 0) {
    groups.resize(static_cast<size_t>(count));
    getgrouplist(user, found->pw_gid, groups.data(), &count);
  }
  groups.resize(static_cast<size_t>(count));
  for (const gid_t id : groups)
    if (id == group)
      return true;
  return false;
}

}  // namespace

void setAuthService(const char *name)
{
  service = name ? name : "";
}

bool hasAuthService()
{
  return !service.empty();
}

http_status_t authenticate(pappl_client_t *client, const char *group, gid_t groupId, std::string &user)
{
  const char *header = httpGetField(papplClientGetHTTP(client), HTTP_FIELD_AUTHORIZATION);
  if (!header || strncmp(header, "Basic ", 6) != 0)
    return HTTP_STATUS_UNAUTHORIZED;
  char decoded[1024];
  int length = sizeof(decoded);
  httpDecode64_2(decoded, &length, header + 6);
  char *colon = std::strchr(decoded, ':');
  if (!colon)
    return HTTP_STATUS_BAD_REQUEST;
  *colon = '\0';
  const bool accepted = pamAccepts(decoded, colon + 1);
  std::memset(colon + 1, 0, std::strlen(colon + 1));
  if (!accepted) {
    papplLogClient(client, PAPPL_LOGLEVEL_INFO, "PAM refused \"%s\".", decoded);
    return HTTP_STATUS_UNAUTHORIZED;
  }
  user = decoded;
  if (!group || !*group)
    return HTTP_STATUS_CONTINUE;
  // A group that doesn't exist admits nobody.
  return groupId != static_cast<gid_t>(-1) && isMember(decoded, groupId) ? HTTP_STATUS_CONTINUE
                                                                         : HTTP_STATUS_FORBIDDEN;
}

}  // namespace arvex::app
