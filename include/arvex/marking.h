/*
 * Security marking: the copy-control pattern settings, the marking text and
 * the copy-control fragments.
 *
 * Every setting is read from the job option when the job has it (the option
 * alone decides, unknown values give the setting's fallback) and otherwise
 * from the marked choice of the PPD. Nothing here allocates: returned texts
 * are literals, texts held by the PPD or the job, or the caller's buffer.
 */
#ifndef ARVEX_MARKING_H
#define ARVEX_MARKING_H

#include <arvex/buffer.h>
#include <arvex/jobinfo.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Pattern settings ------------------------------------------------- */

/* Copy-control type of the job: 0 off, 1 Copy Guard, 2 Prevention Copy Pattern. */
int getCopyControlType(const JobInfo *job);
int getPPDCopyControlType(const JobInfo *job);

/* /MarkingColor: 0 black, 1 cyan, 2 magenta. The PPD half answers 0 unless
   the PPD describes a colour device. */
int getCCPColor(const JobInfo *job);
int getPPDCCPColor(const JobInfo *job);

/* /MarkingDensity: 1 very light .. 5 very dark, fallback 3. */
int getCCPDensity(const JobInfo *job);
int getPPDCCPDensity(const JobInfo *job);

/* /MaskPattern: 0 none .. 10 hexagonal. */
int getCCPMaskPattern(const JobInfo *job);
int getPPDCCPMaskPattern(const JobInfo *job);

/* /StringEffect for a fragment of the given marking type: 0 off, 2 reverse
   patterns, 4 text only; "background only" is 1 for Copy Guard (type 1),
   3 for Prevention Copy Pattern (type 2) and 0 for any other type. */
int getCCPEffect(const JobInfo *job, int markingType);
int getPPDCCPEffect(const JobInfo *job, int markingType);

/* /StringPosition: 0 top left .. 6 bottom right, fallback 3 (centre). */
int getCCPPosition(const JobInfo *job);
int getPPDCCPPosition(const JobInfo *job);

/* Repeat mode: 0 off, 1 repeat, 2 repeat and rotate carriage return. */
int getCCPRepeat(const JobInfo *job);
int getPPDCCPRepeat(const JobInfo *job);

/* Font name from the PPD's marked "AXFont" choice, or NULL when none is
   marked. "Default" gives getDefaultFont(); on a DOM destination the
   Japanese choices give their CID-keyed font names; any other choice gives
   the choice's translation text. */
const char *getPPDCCPFont(const JobInfo *job);

/* The font used for the "Default" font choice, from the destination, the
   PPD's resident fonts and its PostScript interpreter. Moves the PPD's
   attribute cursor. */
const char *getDefaultFont(const JobInfo *job);

/* Font size, angle and line space from the PPD ("70", "30", "70" when
   nothing usable is marked). work must hold at least 4 bytes; it is written,
   and returned, only for a custom value, formatted with at most three
   characters. Never NULL. */
const char *getPPDCCPSize(const JobInfo *job, char *work);
const char *getPPDCCPAngle(const JobInfo *job, char *work);
const char *getPPDCCPLinespace(const JobInfo *job, char *work);

/* ---- Marking text ----------------------------------------------------- */

/* Longest marking text, in decoded bytes, for every text type but the
   user-defined text from the job options. */
#define ARVEX_MARKING_TEXT_MAX 64

/* Size of the output of getCCPCurrentTime: "YYYY/MM/DD hh:mm" and NUL. */
#define ARVEX_MARKING_TIME_SIZE 17

/* Fill the marking text (only text->start and text->capacity are used) for
   the job's text type. Returns 1 when any part came from the PPD or from the
   job record's user name or title, else 0. An overlong part latches err_no 1
   and ends the text there. */
int getCCPCustomText(const JobInfo *job, InsertBuffer *text);

/* Text type 0..7: user text, user name, job name, time, and the
   combinations user+job, user+time, job+time, user+job+time. */
int getCCPTextType(const JobInfo *job);
int getPPDCCPTextType(const JobInfo *job);

/* The user-defined text from the PPD's "AXText" choice, checked against the
   destination, the scheduler's version and the copy-control type ("COPY"
   where the text is not acceptable), or NULL when nothing is marked. */
const char *getPPDCustomText(const JobInfo *job);

/* Append a text in octal notation as PostScript octal escapes: a text that
   starts with a backslash is appended as it is; otherwise each group of three
   characters gets a backslash in front and a trailing group of one or two
   characters is dropped. Bounded by buf->capacity. */
void strcatOctet(InsertBuffer *buf, const char *text);

/* Append every byte of text as an octal escape, starting at the decoded
   byte count count. Returns the new count, or -1 when a UTF-8 character
   would not fit whole in 64 bytes (the bytes before it stay appended). */
int addPPDUtf8Text(const char *text, InsertBuffer *buf, int count);

/* Append text as it is, cut silently at 64 decoded bytes. Returns the new
   count (-1 only for a count already above 64). */
int addLiteralText(const char *text, InsertBuffer *buf, int count);

/* Append a job name in octal notation whose characters are separated by
   "_", token by token. Returns the new count, or -1 at the first token that
   would take the count above 64. */
int addJobName(const char *text, InsertBuffer *buf, int count);

/* Write the local time as "YYYY/MM/DD hh:mm" into out (17 bytes). Returns 0,
   or -1 when out is NULL or the time can't be read. */
int getCCPCurrentTime(char *out);

/* ---- Fragments -------------------------------------------------------- */

/* Append the Copy Guard fragment (markingType 1). 0 on success, 1 on failure. */
int getInsertStringForCopyGuard(const JobInfo *job, int markingType, InsertBuffer *out, const char *lf);

/* Append the Prevention Copy Pattern fragment (markingType 2). 0 or 1. */
int getInsertStringForPreventionCopyPattern(const JobInfo *job, int markingType, InsertBuffer *out, const char *lf);

#ifdef __cplusplus
}
#endif

#endif
