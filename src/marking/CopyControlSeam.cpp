// Holds the place of the copy-control readers and writers until they land:
// no job asks for a copy-control pattern yet, so the job-control block ends
// with its single line end. The writers refuse, so a caller that asks for a
// pattern anyway gets a failure rather than a block without it.

#include <arvex/error.h>
#include <arvex/marking.h>

extern "C" {

// Copy control is off for every job.
int getCopyControlType(const JobInfo * /*job*/)
{
  return 0;
}

// Copy Guard is not available.
int getInsertStringForCopyGuard(const JobInfo * /*job*/, int /*markingType*/, InsertBuffer * /*out*/,
                                const char * /*lf*/)
{
  latchError(ARVEX_ERR_WRITER);
  return 1;
}

// Prevention Copy Pattern is not available.
int getInsertStringForPreventionCopyPattern(const JobInfo * /*job*/, int /*markingType*/, InsertBuffer * /*out*/,
                                            const char * /*lf*/)
{
  latchError(ARVEX_ERR_WRITER);
  return 1;
}

}  // extern "C"
