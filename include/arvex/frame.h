/*
 * Writers of the PJL frame around the job data: job header, language
 * switch and trailer. They write straight to the output stream.
 */
#ifndef ARVEX_FRAME_H
#define ARVEX_FRAME_H

#include <stdbool.h>
#include <stdio.h>

#include <arvex/jobinfo.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The universal exit language sequence: ESC "%-12345X". */
#define ARVEX_PJL_UEL "\033%-12345X"

/* UEL, "@PJL JOB NAME" with the title and "@PJL SET USERNAME" with the user. */
void getInsertStringForStartPJL(const JobInfo *job, FILE *out);

/* "@PJL ENTER LANGUAGE = PDF". */
void getInsertStringForPostscriptPJL(const JobInfo *job, FILE *out);

/* "@PJL ENTER LANGUAGE = " and language ("PDF", "POSTSCRIPT"). */
void writeEnterLanguage(FILE *out, const char *language);

/* UEL and "@PJL EOJ". */
void getInsertStringForEndPJL(const JobInfo *job, FILE *out);

/* Always true. */
bool isInsertPJLValid(void);

#ifdef __cplusplus
}
#endif

#endif
