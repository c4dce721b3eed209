// The job-type fragments: one per kind of job, each telling the printer's
// SetJobType procedure how to treat the job and who it belongs to.
//
// The spacing inside the fragments differs from one job type to the next;
// the printers have always been sent exactly these texts, so they stand as
// they are.

#include <arvex/error.h>
#include <arvex/jobcontrol.h>

#include "../jobcontext/job_lookup.h"

namespace {

constexpr char kUserIdOption[] = "com.arvex.printsettings.11AUserID";
constexpr char kUserCodeOption[] = "com.arvex.printsettings.11AUserCode";
constexpr char kPasswordOption[] = "com.arvex.printsettings.11APassword";
constexpr char kFileNameOption[] = "com.arvex.printsettings.11AFileName";
constexpr char kSpecifyTimeOption[] = "com.arvex.printsettings.11ASpecifyTime";

// Who the job belongs to, as the fragments send it.
struct Identity {
  const char *userId = "";
  const char *userCode = "";
  const char *password = "";
  const char *fileName = "";
  char time[13] = {};
};

bool sendsPassword(int code)
{
  return code == ARVEX_JOB_LOCKED || code == ARVEX_JOB_DOCUMENT_SERVER || code == ARVEX_JOB_STORED ||
         code == ARVEX_JOB_STORE_AND_PRINT;
}

bool sendsFileName(int code)
{
  return code == ARVEX_JOB_DOCUMENT_SERVER || code == ARVEX_JOB_HOLD || code == ARVEX_JOB_STORED ||
         code == ARVEX_JOB_STORE_AND_PRINT;
}

// The job option when present, else what the queue's reader gives.
const char *optionOr(const JobInfo *job, const char *key, const char *(*reader)(const JobInfo *))
{
  const char *value = arvex::lookup::jobOptionOrLatch(job, key);
  return value ? value : reader(job);
}

// Gather the identity of a job of type code. The order of the look-ups is
// fixed: it decides which code the error latch holds afterwards. false when
// the job has no user id and its type needs one.
bool gatherIdentity(const JobInfo *job, int code, Identity &id)
{
  const bool withUserCode = useUserCode(job) == 1;

  id.userId = optionOr(job, kUserIdOption, getPPDUserid);
  if (!id.userId) {
    if (code != ARVEX_JOB_NORMAL)
      return false;
    id.userId = "";
  }
  if (sendsPassword(code))
    id.password = optionOr(job, kPasswordOption, getPPDPassword);
  if (sendsFileName(code))
    id.fileName = optionOr(job, kFileNameOption, getPPDFileName);
  getCurrentTime(id.time);
  id.userCode = withUserCode ? optionOr(job, kUserCodeOption, getPPDUserCode) : "";
  return true;
}

// Start a writer: check the arguments and gather the identity.
bool prepare(const JobInfo *job, const InsertBuffer *out, const char *lf, int code, Identity &id)
{
  if (!job || !out || !lf || !gatherIdentity(job, code, id)) {
    latchError(ARVEX_ERR_WRITER);
    return false;
  }
  return true;
}

// The pieces every job type shares: the user-information call (one blank
// before it for a normal job, two for the others), the host identity that
// only a printer without a genuine interpreter, or with the enhanced
// features, is sent (extra lines go inside that test), and the call of
// SetJobType that closes the fragment.
void writeUserInfo(const Identity &id, InsertBuffer *out, const char *lf, const char *indent)
{
  lfsprintf(lf, out, "mark\n%s(%s) (%s) (%s) {setuserinfo} stopped\ncleartomark\n", indent, id.userId, id.userCode,
            id.time);
}

void writeHostIdentity(const JobInfo *job, InsertBuffer *out, const char *lf, const char *reservedTime = nullptr)
{
  lfsprintf(lf, out,
            "\t\tisGenuine not isEnhancedFeatures or {\n"
            "\t\t/HostLoginName (%s)\n"
            "\t\t/HostName (%s)\n",
            job->hostLoginName, job->hostName);
  if (reservedTime)
    lfsprintf(lf, out, "\t\t/PrintReservedTime(%s)\n", reservedTime);
  lfsprintf(lf, out, "\t\t}if\n\t>>\n");
}

void writeSetJobType(InsertBuffer *out, const char *lf, const char *indent)
{
  lfsprintf(lf, out, "%s>> /ADeviceProcSet /ProcSet findresource /SetJobType get exec\n} stopped cleartomark\n", indent);
}

// Stored print and store-and-print differ only in the /Save number.
int writeStoredJob(const JobInfo *job, InsertBuffer *out, const char *lf, int code, int save)
{
  Identity id;
  if (!prepare(job, out, lf, code, id))
    return 1;
  writeUserInfo(id, out, lf, "  ");
  lfsprintf(lf, out,
            "mark {\n<<\n\t/JobType 3\n\t/JobInfo <<\t/UserID (%s)\n\t\t/Time (%s)\n\t\t/Password (%s)\n\t\t/JobID (%s)\n",
            id.userId, id.time, id.password, id.fileName);
  writeHostIdentity(job, out, lf);
  lfsprintf(lf, out, "\t/JobAttr <<\t/Save %d\n\t\t/Public false\n\t\t>>\n", save);
  writeSetJobType(out, lf, "");
  return 0;
}

}  // namespace

extern "C" {

int getInsertStringForNormalPrint(const JobInfo *job, InsertBuffer *out, const char *lf)
{
  Identity id;
  if (!prepare(job, out, lf, ARVEX_JOB_NORMAL, id))
    return 1;
  writeUserInfo(id, out, lf, " ");
  lfsprintf(lf, out, "mark {\n<<\n\t/JobType 0\n\t/JobInfo <<\t/UserID (%s)\n\t\t/UserCode (%s)\n\t\t/Time (%s)\n",
            id.userId, id.userCode, id.time);
  writeHostIdentity(job, out, lf);
  writeSetJobType(out, lf, "");
  return 0;
}

// Held at the device until its owner enters the password there.
int getInsertStringForLockedPrint(const JobInfo *job, InsertBuffer *out, const char *lf)
{
  Identity id;
  if (!prepare(job, out, lf, ARVEX_JOB_LOCKED, id))
    return 1;
  writeUserInfo(id, out, lf, "  ");
  lfsprintf(lf, out, "mark {\n<<\n\t/JobType 1\n\t/JobInfo <<\t/UserID (%s)\n\t\t/Time (%s)\n\t\t/Password (%s)\n",
            id.userId, id.time, id.password);
  writeHostIdentity(job, out, lf);
  writeSetJobType(out, lf, "");
  return 0;
}

// One sample set printed, the rest held until released at the device.
int getInsertStringForSamplePrint(const JobInfo *job, InsertBuffer *out, const char *lf)
{
  Identity id;
  if (!prepare(job, out, lf, ARVEX_JOB_SAMPLE, id))
    return 1;
  writeUserInfo(id, out, lf, "  ");
  lfsprintf(lf, out, "mark {\n<<\n\t/JobType 2\n\t/JobInfo <<\t/UserID (%s)\n\t\t/Time (%s)\n", id.userId, id.time);
  writeHostIdentity(job, out, lf);
  writeSetJobType(out, lf, "");
  return 0;
}

// Filed on the device's document server, in a folder if it has them.
int getInsertStringForDocumentServerPrint(const JobInfo *job, InsertBuffer *out, const char *lf)
{
  Identity id;
  if (!prepare(job, out, lf, ARVEX_JOB_DOCUMENT_SERVER, id))
    return 1;
  writeUserInfo(id, out, lf, "  ");
  lfsprintf(lf, out,
            "mark {\n<<\n\t/JobType 4\n\t/JobInfo <<\t/UserID (%s)\n\t\t/Time (%s)\n\t\t/Password (%s)\n\t\t/JobID (%s)\n",
            id.userId, id.time, id.password, id.fileName);
  writeHostIdentity(job, out, lf);
  lfsprintf(lf, out, "/JobAttr<<\nisGenuine not isEnhancedFeatures or {\n/dbox<<\n");
  getInsertStringForFolderNumber(job, out, lf);
  lfsprintf(lf, out, " >>\n }if\n >>\n");
  writeSetJobType(out, lf, "");
  return 0;
}

// Held at the device, optionally with a time at which it prints.
int getInsertStringForPausedPrint(const JobInfo *job, InsertBuffer *out, const char *lf)
{
  Identity id;
  if (!prepare(job, out, lf, ARVEX_JOB_HOLD, id))
    return 1;
  writeUserInfo(id, out, lf, "  ");

  if (!isSpecifyTimeSupport(job)) {
    lfsprintf(lf, out, "mark {\n<<\n\t/JobType 3\n\t/JobInfo <<\t/UserID (%s)\n\t\t/Time (%s)\n\t\t/JobID (%s)\n",
              id.userId, id.time, id.fileName);
    writeHostIdentity(job, out, lf);
    writeSetJobType(out, lf, "");
    return 0;
  }
  // Printers that take a reserved time get a differently spaced fragment.
  const char *reserved = nullptr;
  char reservedBuffer[17] = {};
  if (isSpecifyTimeEnable(job)) {
    reserved = arvex::lookup::jobOptionOrLatch(job, kSpecifyTimeOption);
    if (!reserved)
      reserved = getPPDSpecifyTime(job, reservedBuffer);
  }
  lfsprintf(lf, out,
            "mark {\n\t<< /JobType 3\n\t/JobInfo\n\t<<\n\t\t/UserID (%s)\n\t\t/Time(%s)\n\t\t/JobID (%s)\n",
            id.userId, id.time, id.fileName);
  writeHostIdentity(job, out, lf, reserved);
  lfsprintf(lf, out, "\t/JobAttr << /Save 0 >>\n");
  writeSetJobType(out, lf, "\t");
  return 0;
}

// Stored on the device, not printed.
int getInsertStringForSavedPrint(const JobInfo *job, InsertBuffer *out, const char *lf)
{
  return writeStoredJob(job, out, lf, ARVEX_JOB_STORED, 1);
}

// Stored on the device and printed.
int getInsertStringForSav2Print(const JobInfo *job, InsertBuffer *out, const char *lf)
{
  return writeStoredJob(job, out, lf, ARVEX_JOB_STORE_AND_PRINT, 2);
}

}  // extern "C"
