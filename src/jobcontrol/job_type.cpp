// What kind of job this is, and which of its optional identity parts the
// job and the device use: user code, reserved print time, folder numbers.

#include <arvex/jobcontrol.h>

#include "../jobcontext/job_lookup.h"

namespace {

// A job type as the job option names it and as the PPD's AXJobType does.
constexpr arvex::lookup::NamedCode kJobTypes[] = {
    {"Locked Print", "LockedPrint", ARVEX_JOB_LOCKED},
    {"Sample Print", "SamplePrint", ARVEX_JOB_SAMPLE},
    {"Document Server", "DocServer", ARVEX_JOB_DOCUMENT_SERVER},
    {"Paused Print", "HoldPrint", ARVEX_JOB_HOLD},
    {"Saved Print", "StoredPrint", ARVEX_JOB_STORED},
    {"Save Document Print", "StoreandPrint", ARVEX_JOB_STORE_AND_PRINT},
};

// An on/off switch: the job option when present ("true" in any case),
// else the marked choice of the PPD option (likewise).
int jobOrQueueSwitch(const JobInfo *job, const char *optionKey, const char *ppdKeyword)
{
  const char *value = arvex::lookup::jobOption(job, optionKey);
  if (!value)
    value = arvex::lookup::markedChoice(job, ppdKeyword);
  return arvex::lookup::isTrueIgnoringCase(value) ? 1 : 0;
}

// A device capability: the job option when present, else the PPD
// attribute; "true" in any case means supported.
int jobOrDeviceCapability(const JobInfo *job, const char *optionKey, const char *attribute)
{
  const char *value = arvex::lookup::jobOption(job, optionKey);
  if (!value)
    value = arvex::lookup::attributeValue(job, attribute);
  return arvex::lookup::isTrueIgnoringCase(value) ? 1 : 0;
}

}  // namespace

extern "C" {

int getJobType(const JobInfo *job)
{
  return arvex::lookup::settingCode(job, "com.arvex.printsettings.11AJobType", kJobTypes, ARVEX_JOB_NORMAL,
                                    getPPDJobType);
}

int getPPDJobType(const JobInfo *job)
{
  return arvex::lookup::codeOfMarkedChoice(kJobTypes, job, "AXJobType", ARVEX_JOB_NORMAL);
}

// Whether the user code goes with the job.
int useUserCode(const JobInfo *job)
{
  return jobOrQueueSwitch(job, "com.arvex.printsettings.11AEnableUserCode", "AXEnableUserCode");
}

// Whether the device takes a reserved print time for held jobs.
int isSpecifyTimeSupport(const JobInfo *job)
{
  return jobOrDeviceCapability(job, "com.arvex.printsettings.11ASpecifyTimeKeySupport",
                               "HoldPrintReservedTimeSupport");
}

// Whether this held job asks for a reserved print time.
int isSpecifyTimeEnable(const JobInfo *job)
{
  return jobOrQueueSwitch(job, "com.arvex.printsettings.11AEnableSpecifyTime", "AXEnableSpecifyTime");
}

// Whether the device files document-server jobs into numbered folders.
int isFolderNumberSupport(const JobInfo *job)
{
  if (!job)
    return 0;
  return jobOrDeviceCapability(job, "com.arvex.printsettings.11AFolderNumberSupport",
                               "DocumentServerFolderNumberSupport");
}

}  // extern "C"
