// The authentication block of the PJL header: the host login name and the
// user-authentication lines.

#include <arvex/error.h>
#include <arvex/pjl.h>
#include <arvex/textencoding.h>
#include <arvex/userauth.h>

#include <array>

#include "../jobcontext/job_lookup.h"

namespace {

constexpr size_t kFieldSize = 256;

constexpr char kFullBlock[] = "@PJL SET AUTHENTICATIONENCRYPTSETTING = 2\n"
                              "@PJL SET AUTHENTICATIONENCRYPTMETHOD = 10\n"
                              "@PJL SET AUTHENTICATIONUSERNAME = \"%s\"\n"
                              "@PJL SET AUTHENTICATIONUSERNAMECHARSET = %d\n"
                              "@PJL SET AUTHENTICATIONPASSWORD = \"%s\"\n"
                              "@PJL SET AUTHENTICATIONPASSWORDCHARSET = %d\n";

constexpr char kEmptyUserBlock[] = "@PJL SET AUTHENTICATIONUSERNAME = \"\"\n"
                                   "@PJL SET AUTHENTICATIONUSERNAMECHARSET = %d\n";

}  // namespace

extern "C" {

// HOSTLOGINNAME and the user-authentication lines, or nothing.
int getInsertPJL(const JobInfo *job, InsertBuffer *out, const char *sample, int32_t length)
{
  if (!job || !out || !out->start || !out->cursor || out->capacity == 0) {
    latchError(ARVEX_ERR_WRITER);
    return 1;
  }
  LinefeedCode lf = {};
  InsertBuffer lfHolder = {lf, sizeof(lf), lf};
  getLinefeedCode(sample, &lfHolder, length);

  // Like every writer, the block is cut where the buffer's room ends.
  getInsertStringForPJL(job, out, lf);
  if (getInsertStringForUserAuthenticationPJL(job, out, lf) != 0) {
    latchError(ARVEX_ERR_WRITER);
    return 1;
  }
  return 0;
}

// The host login name line, with the whole user name of the job.
int getInsertStringForPJL(const JobInfo *job, InsertBuffer *out, const char *lf)
{
  if (isHostLoginName(job))
    lfsprintf(lf, out, "@PJL SET HOSTLOGINNAME = \"%s\"\n", job->userName ? job->userName : "");
  return 0;
}

// Whether the model wants the host login name.
int isHostLoginName(const JobInfo *job)
{
  return arvex::lookup::attributeIs(job, "AXPJLHOSTLOGINNAMESupport", "true") ? 1 : 0;
}

// The user-authentication lines with the login user name and password.
int getInsertStringForUserAuthenticationPJL(const JobInfo *job, InsertBuffer *out, const char *lf)
{
  if (UaGetFunctionValid(job) == 0) {
    latchError(ARVEX_ERR_WRITER);
    return 1;
  }
  // One code for both CHARSET lines, taken before the texts are converted.
  const int charset = UaGetCharsetCode(job);

  std::array<char, kFieldSize> userName = {};
  if (UaGetLoginUserName(job, userName.data(), static_cast<int>(userName.size())) == -1 || userName[0] == '\0') {
    lfsprintf(lf, out, kEmptyUserBlock, charset);
    return 0;
  }
  std::array<char, kFieldSize> password = {};
  UaGetPassword(job, password.data(), static_cast<int>(password.size()));
  lfsprintf(lf, out, kFullBlock, userName.data(), charset, password.data(), charset);
  return 0;
}

}  // extern "C"
