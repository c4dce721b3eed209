/*
 * The job information record and the option and PPD-choice lookups.
 */
#ifndef ARVEX_JOBINFO_H
#define ARVEX_JOBINFO_H

#include <stdint.h>

#include <arvex/cups.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Everything the writers need to know about the job. */
typedef struct JobInfo {
  const char *jobId;         /* argv[1], not copied */
  const char *userName;      /* argv[2], not copied */
  char systemHostName[256];  /* gethostname() */
  char hostLoginName[21];    /* userName, at most 20 bytes */
  char hostName[64];         /* systemHostName, at most 63 bytes */
  int32_t numOptions;        /* entries in options */
  cups_option_t *options;    /* parsed argv[5], owned */
  ppd_file_t *ppd;           /* the queue's PPD from $PPD, owned; may be NULL */
  const char *jobTitle;      /* argv[3], not copied */
} JobInfo;

/* Classification of a marked PPD choice (getPPDChoice). */
enum { ARVEX_CHOICE_OTHER = 0, ARVEX_CHOICE_NONE = 1, ARVEX_CHOICE_CUSTOM = 2 };

/* Build the record from the filter arguments and $PPD. Arguments beyond argc
   read as empty texts. NULL (err_no 2) when memory is exhausted, also
   while the options are parsed or the PPD is read. */
JobInfo *CreateJobInfo(int argc, char *argv[]);

/* The same with the PPD named by ppdPath (NULL: none) instead of $PPD; the
   environment is not read. */
JobInfo *CreateJobInfoWithPPD(int argc, char *argv[], const char *ppdPath);

/* Mark the record's PPD with its own defaults, then with the job options, as
   every reader of marked choices expects. Nothing happens without a PPD or
   without parsed options. */
void markJobPPD(JobInfo *job);

/* Release the options, the PPD and the record. NULL is accepted. */
void DisposeJobInfo(JobInfo *job);

/* Value of a job option, or NULL (latching 6) when the job lacks it. */
const char *getCupsOption(const JobInfo *job, const char *key);

/* 2 when the marked choice of keyword is "Custom", 1 when it is "None",
   0 otherwise (also without PPD, option or marked choice). */
int getPPDChoice(const JobInfo *job, const char *keyword);

/* Set TZ for the job: the time-zone job option verbatim, else the local
   zone in POSIX form (JST-9, EST5, ...). */
void getClientTimeZone(const JobInfo *job);

#ifdef __cplusplus
}
#endif

#endif
