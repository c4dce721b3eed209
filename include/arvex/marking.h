/*
 * Security marking: the copy-control pattern settings and fragments.
 */
#ifndef ARVEX_MARKING_H
#define ARVEX_MARKING_H

#include <arvex/buffer.h>
#include <arvex/jobinfo.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Copy-control type of the job: 0 off, 1 Copy Guard, 2 Prevention Copy Pattern. */
int getCopyControlType(const JobInfo *job);

/* Append the Copy Guard fragment (markingType 1). 0 on success, 1 on failure. */
int getInsertStringForCopyGuard(const JobInfo *job, int markingType, InsertBuffer *out, const char *lf);

/* Append the Prevention Copy Pattern fragment (markingType 2). 0 or 1. */
int getInsertStringForPreventionCopyPattern(const JobInfo *job, int markingType, InsertBuffer *out, const char *lf);

#ifdef __cplusplus
}
#endif

#endif
