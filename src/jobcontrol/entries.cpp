// The job-control entries: the whole block for a job, the personal
// authentication login comment and the target-device comment, with the
// pieces that only the entry writes (host information, the printer-side
// procedure definitions and the driver mode).

#include <arvex/error.h>
#include <arvex/jobcontrol.h>
#include <arvex/marking.h>
#include <arvex/numbering.h>

#include <cstring>

#include "../jobcontext/bounded_text.h"
#include "../jobcontext/job_lookup.h"

namespace {

constexpr size_t kCopyControlSize = 1024;

// The copy-control writers build their fragment here; cleared on every
// call of getInsertString, so nothing of one job reaches the next.
char insert_ccp_str[kCopyControlSize];

// The job's line end, chosen from a sample of its data.
class JobLinefeed {
public:
  JobLinefeed(const char *sample, int length)
  {
    InsertBuffer holder = {code_, sizeof(code_), code_};
    getLinefeedCode(sample, &holder, length);
  }
  const char *text() const { return code_; }

private:
  LinefeedCode code_ = {};
};

// The job-type writer for a job type code; normal print for unknown codes.
using FragmentWriter = int (*)(const JobInfo *, InsertBuffer *, const char *);

FragmentWriter jobTypeWriter(int code)
{
  switch (code) {
  case ARVEX_JOB_LOCKED:
    return getInsertStringForLockedPrint;
  case ARVEX_JOB_SAMPLE:
    return getInsertStringForSamplePrint;
  case ARVEX_JOB_DOCUMENT_SERVER:
    return getInsertStringForDocumentServerPrint;
  case ARVEX_JOB_HOLD:
    return getInsertStringForPausedPrint;
  case ARVEX_JOB_STORED:
    return getInsertStringForSavedPrint;
  case ARVEX_JOB_STORE_AND_PRINT:
    return getInsertStringForSav2Print;
  default:
    return getInsertStringForNormalPrint;
  }
}

// Build the copy-control fragment into ccp: a pattern when the job asks for
// one, else the line end alone. false when a pattern writer fails.
bool buildCopyControl(const JobInfo *job, InsertBuffer *ccp, const char *lf)
{
  switch (getCopyControlType(job)) {
  case 1:
    return getInsertStringForCopyGuard(job, 1, ccp, lf) == 0;
  case 2:
    return getInsertStringForPreventionCopyPattern(job, 2, ccp, lf) == 0;
  default:
    lfsprintf(lf, ccp, "%s", lf);
    return true;
  }
}

}  // namespace

extern "C" {

// Build the whole job-control block for the job into out.
int getInsertString(const JobInfo *job, InsertBuffer *out, const char *sample, int length)
{
  std::memset(insert_ccp_str, 0, sizeof(insert_ccp_str));
  InsertBuffer ccp = {insert_ccp_str, sizeof(insert_ccp_str), insert_ccp_str};

  if (!job || !out) {
    latchError(ARVEX_ERR_WRITER);
    return 1;
  }
  const JobLinefeed linefeed(sample, length);
  const char *lf = linefeed.text();

  insertEnhancedFeaturesAndIsGenuineCommand(job, out, lf);
  getInsertStringForSynchroCut(job, out, lf);
  getInsertStringForBackgroundNumbering(job, out, lf);

  if (jobTypeWriter(getJobType(job))(job, out, lf) != 0) {
    latchError(ARVEX_ERR_WRITER);
    return 1;
  }

  getInsertStringForOutputBin(job, out, lf);
  getInsertStringForBannerPage(job, out, lf);
  const char *balance = arvex::lookup::attributeValue(job, "BalanceAdjustmentSupport");
  if (balance && std::strcmp(balance, "true") == 0)
    getInsertStringForColorBalance(job, out, lf);

  if (!buildCopyControl(job, &ccp, lf)) {
    latchError(ARVEX_ERR_WRITER);
    return 1;
  }
  // Its line ends are already the job's, and a "%" in a marking text must
  // reach the printer as it is.
  auto appender = arvex::BoundedAppender::atCursor(out);
  appender.append(insert_ccp_str);
  if (appender.end())
    out->cursor = appender.end();

  getInsertStringForDrvMode(job, out, lf);
  return 0;
}

// Append the personal-authentication login comment, if that function is on.
int getInsertComment(const JobInfo *job, InsertBuffer *out, const char *sample, int length)
{
  if (!job || !out) {
    latchError(ARVEX_ERR_WRITER);
    return 1;
  }
  const JobLinefeed linefeed(sample, length);
  if (getInsertStringForPersonalAuthentication(job, out, linefeed.text()) != 0) {
    latchError(ARVEX_ERR_WRITER);
    return 1;
  }
  return 0;
}

// Append the comment naming the device the block was built for.
int getInsertCommentOfTargetDevice(const JobInfo *job, InsertBuffer *out, const char *sample, int length)
{
  if (!job || !out) {
    latchError(ARVEX_ERR_WRITER);
    return 1;
  }
  const JobLinefeed linefeed(sample, length);
  const char *product = arvex::lookup::attributeValue(job, "Product");
  const char *version = arvex::lookup::attributeValue(job, "PSVersion");
  if (!product || !version) {
    latchError(ARVEX_ERR_WRITER);
    return 1;
  }
  lfsprintf(linefeed.text(), out, "%%%%TargetDevice: %s %s\n", product, version);
  return 0;
}

// Tell the printer who we are, and define the two tests the job-type
// fragments use to decide whether the host identity is sent.
void insertEnhancedFeaturesAndIsGenuineCommand(const JobInfo * /*job*/, InsertBuffer *out, const char *lf)
{
  lfsprintf(lf, out,
            "mark{\n"
            "\t<<\n"
            "\t/HostCharSet 33\n"
            "\t/DriverType 5\n"
            "\t>>\n"
            "\t/ADeviceProcSet /ProcSet findresource /SetHostInfo get exec\n"
            "} stopped cleartomark\n"
            "\n");
  lfsprintf(lf, out,
            "/isEnhancedFeatures\n"
            "\t{userdict /5d2e4a7c19 known { userdict /5d2e4a7c19 get /EnhancedFeatures known} if } bind def\n"
            "\n"
            "/isGenuine{\n"
            "\t2 dict begin\n"
            "\t/isGenuineFlag //false def\n"
            "\t//systemdict /execdict known  {\n"
            "\t\t//systemdict /execdict get /copyright known {\n"
            "\t\t\t/copyright //systemdict /execdict get /copyright get def\n"
            "\t\t\t{ copyright ( ) anchorsearch {\n"
            "\t\t\t\t\tpop /copyright exch def\n"
            "\t\t\t\t}{\n"
            "\t\t\t\t\tpop\n"
            "\t\t\t\t\texit\n"
            "\t\t\t\t} ifelse\n"
            "\t\t\t} loop\n"
            "\n"
            "\t\t\tcopyright ((c) Copyright 1984-) anchorsearch {\n"
            "\t\t\t\tpop pop\n"
            "\t\t\t\tcopyright ( Adobe Systems Incorporated) search {\n"
            "\t\t\t\t\tpop pop pop\n"
            "\t\t\t\t\tcopyright (All Rights Reserved.) search {\n"
            "\t\t\t\t\t\tpop pop pop\n"
            "\t\t\t\t\t\t/isGenuineFlag //true def\n"
            "\t\t\t\t\t}{\n"
            "\t\t\t\t\t\tpop\n"
            "\t\t\t\t\t} ifelse\n"
            "\t\t\t\t}{\n"
            "\t\t\t\t\tpop\n"
            "\t\t\t\t} ifelse\n"
            "\t\t\t}{\n"
            "\t\t\t\tpop\n"
            "\t\t\t} ifelse\n"
            "\t\t} if\n"
            "\t} if\n"
            "\tisGenuineFlag\n"
            "\tend\n"
            "}bind def\n");
}

// The driver mode: 0 for the Adobe PostScript driver, 1 for any other.
int getInsertStringForDrvMode(const JobInfo *job, InsertBuffer *out, const char *lf)
{
  if (!job || !job->ppd)
    return 0;
  const ppd_option_t *option = ppdFindOption(job->ppd, "AXPostScript");
  if (!option)
    return 0;
  const int mode = std::strcmp(option->defchoice, "Adobe") == 0 ? 0 : 1;
  lfsprintf(lf, out,
            "mark {\n"
            "\tuserdict /5d2e4a7c19 known { userdict /5d2e4a7c19 get /+DrvMode %d put } if \n"
            "} stopped cleartomark\n",
            mode);
  return 0;
}

}  // extern "C"
