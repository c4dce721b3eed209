/*
 * PostScript job-control text: the entries that build a whole block for a
 * job, the fragment writers they are made of, and the readers behind them.
 *
 * Fragment writers share one form: they take the job record, the output
 * buffer and the job's line-feed string ("\n", "\r" or "\r\n"), append
 * through lfsprintf and return 0 on success, 1 on failure. Nothing is ever
 * taken back out of the output, also after a failure.
 *
 * Readers return texts owned by the job's options or its PPD (valid until
 * DisposeJobInfo), static texts, or the caller's buffer; never a copy.
 *
 * The library keeps static work buffers: it is not reentrant. Call it from
 * one thread at a time.
 */
#ifndef ARVEX_JOBCONTROL_H
#define ARVEX_JOBCONTROL_H

#include <arvex/buffer.h>
#include <arvex/jobinfo.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Entries ------------------------------------------------------------ */

/* Build the whole job-control block into out: host information, procedure
   definitions, synchro cut, background numbering, the job-type fragment,
   output bin, banner pages, colour balance, copy control (or one line end)
   and driver mode. The line end is taken from sample (length bytes of the
   job data). 0 when built; 1 on failure, with err_no latched. */
int getInsertString(const JobInfo *job, InsertBuffer *out, const char *sample, int length);

/* Append the "%%LOGINGID: " comment when personal authentication is on.
   0 when written or off; 1 (err_no latched) when no user id is known. */
int getInsertComment(const JobInfo *job, InsertBuffer *out, const char *sample, int length);

/* Append the "%%TargetDevice: " comment from the PPD's Product and
   PSVersion. 1 (err_no latched) without a PPD or either attribute. */
int getInsertCommentOfTargetDevice(const JobInfo *job, InsertBuffer *out, const char *sample, int length);

/* ---- Pieces only the entry writes --------------------------------------- */

/* The host-information fragment, then the isEnhancedFeatures and isGenuine
   procedure definitions. job is not used. */
void insertEnhancedFeaturesAndIsGenuineCommand(const JobInfo *job, InsertBuffer *out, const char *lf);

/* The driver-mode fragment when the PPD has the AXPostScript option: mode 0
   for the default choice "Adobe", 1 for any other. Always 0. */
int getInsertStringForDrvMode(const JobInfo *job, InsertBuffer *out, const char *lf);

/* ---- Personal authentication -------------------------------------------- */

/* The "%%LOGINGID: " comment when personal authentication is on. 1 when no
   user id is known (nothing latched here). */
int getInsertStringForPersonalAuthentication(const JobInfo *job, InsertBuffer *out, const char *lf);

/* 1 when personal authentication is on (job option, else the PPD), else 0. */
int PaGetFunctionValid(const JobInfo *job);

/* "True" when the PPD marks AXPersonalAuthentication "True", else "False". */
const char *getPPDPaFunctionValid(const JobInfo *job);

/* The user id of the PPD's AXPAUserCode custom value (letters and digits,
   13 at most), "" when not custom or invalid, NULL when nothing is marked or
   the custom parameter is missing. */
const char *getPPDPaUserid(const JobInfo *job);

/* ---- Job types ---------------------------------------------------------- */

enum {
  ARVEX_JOB_NORMAL = 1,
  ARVEX_JOB_LOCKED = 2,
  ARVEX_JOB_SAMPLE = 3,
  ARVEX_JOB_DOCUMENT_SERVER = 4,
  ARVEX_JOB_HOLD = 5,
  ARVEX_JOB_STORED = 6,
  ARVEX_JOB_STORE_AND_PRINT = 7
};

/* Job type code 1-7: the job option when present, else the PPD. */
int getJobType(const JobInfo *job);

/* Job type code 1-7 from the PPD's AXJobType choice alone. */
int getPPDJobType(const JobInfo *job);

/* 1 when the user code is sent, else 0. */
int useUserCode(const JobInfo *job);

/* 1 when the device takes a reserved print time for hold print, else 0. */
int isSpecifyTimeSupport(const JobInfo *job);

/* 1 when the job asks for a reserved print time, else 0. */
int isSpecifyTimeEnable(const JobInfo *job);

/* The job-type fragments. Every one but normal print fails (1, nothing
   appended) when no user id is known. */
int getInsertStringForNormalPrint(const JobInfo *job, InsertBuffer *out, const char *lf);
int getInsertStringForLockedPrint(const JobInfo *job, InsertBuffer *out, const char *lf);
int getInsertStringForSamplePrint(const JobInfo *job, InsertBuffer *out, const char *lf);
int getInsertStringForDocumentServerPrint(const JobInfo *job, InsertBuffer *out, const char *lf);
int getInsertStringForPausedPrint(const JobInfo *job, InsertBuffer *out, const char *lf);
int getInsertStringForSavedPrint(const JobInfo *job, InsertBuffer *out, const char *lf);
int getInsertStringForSav2Print(const JobInfo *job, InsertBuffer *out, const char *lf);

/* ---- Job identity ------------------------------------------------------- */

/* Validators: 1 valid, 0 invalid; NULL is invalid. Only ASCII letters and
   digits (and, for extended user ids, "-", ".", "/", ":" and "_"). */
int isValidUserID(const char *text, int minimum, int maximum, int extended);
int isValidUserCode(const char *text);  /* 0-8 digits */
int isValidPassword(const char *text);  /* 4-8 digits */
int isValidFileName(const char *text);  /* 0-16 letters and digits */

/* The PPD's AXUserId custom value when valid, "" when marked "None" or
   invalid, NULL when neither "None" nor "Custom" is marked. */
const char *getPPDUserid(const JobInfo *job);

/* The PPD's custom values, "" when not custom or invalid. */
const char *getPPDUserCode(const JobInfo *job);
const char *getPPDPassword(const JobInfo *job);
const char *getPPDFileName(const JobInfo *job);
const char *getPPDFolderPassword(const JobInfo *job);

/* The AXFolderNumber custom value in buffer (at least 4 bytes: 3 characters
   at most), or the static "0". */
const char *getPPDFolderNumber(const JobInfo *job, char *buffer);

/* The reserved time HHMM from AXTimeHour and AXTimeMin into buffer (at least
   16 bytes). Returns buffer. */
const char *getPPDSpecifyTime(const JobInfo *job, char *buffer);

/* Local time as YYYYMMDDhhmm into buffer (at least 13 bytes). Returns the
   formatted length. */
int getCurrentTime(char *buffer);

/* 1 when the device takes document-server folder numbers, else 0. */
int isFolderNumberSupport(const JobInfo *job);

/* The /FolderNumber and /FolderPassword lines when folder numbers are
   supported. 1 when an argument is missing. */
int getInsertStringForFolderNumber(const JobInfo *job, InsertBuffer *out, const char *lf);

/* ---- Device settings ---------------------------------------------------- */

/* The synchro-cut fragment when synchro cut is on. Always 0. */
int getInsertStringForSynchroCut(const JobInfo *job, InsertBuffer *out, const char *lf);

/* "true" or "false": the job option, else the PPD; and the PPD alone. */
const char *ScGetSynchroCutValid(const JobInfo *job);
const char *getPPDSynchroCutValid(const JobInfo *job);

/* Leading edge: 1 short-edge feed / portrait, else 0. */
int ScGetImageDirection(const JobInfo *job);
int getPPDImageDirection(const JobInfo *job);

/* Corner lock: 1 centre, 2 right, else 0. */
int ScGetInformPrintingPosition(const JobInfo *job);
int getPPDInformPrintingPosition(const JobInfo *job);

/* Margin of side 1 top, 2 bottom, 3 left, 4 right; 0 for another side. */
int ScGetSynchroCutMarginValue(const JobInfo *job, int side);

/* The int custom value of keyword when marked "Custom", else 0. */
int getPPDMarginValue(const JobInfo *job, const char *keyword);

/* The colour-balance fragment. Always 0. */
int getInsertStringForColorBalance(const JobInfo *job, InsertBuffer *out, const char *lf);

/* The custom value of keyword rounded half away from zero, formatted into
   buffer (at least 4 bytes: 3 characters at most), or the static "0". */
const char *getPPDOptionInt(const JobInfo *job, const char *keyword, char *buffer);

/* Append the value of the PPD attribute prefix + option + choice, where the
   choice is the job option named option or else defaultChoice. 0 when a
   command was appended, 1 when not. */
int insertStringFromPPDCommand(const JobInfo *job, InsertBuffer *out, const char *lf, const char *prefix,
                               const char *option, const char *defaultChoice);

/* The PPD's output-bin command. 0 when appended, 1 when not. */
int getInsertStringForOutputBin(const JobInfo *job, InsertBuffer *out, const char *lf);

/* The PPD's banner-page commands (input slot, media type, print), stopping
   at the first the PPD lacks. 0 when all three were appended. */
int getInsertStringForBannerPage(const JobInfo *job, InsertBuffer *out, const char *lf);

/* Value of the first PPD attribute named keyword, or NULL. */
const char *getValueFromPPD(ppd_file_t *ppd, const char *keyword);

#ifdef __cplusplus
}
#endif

#endif
