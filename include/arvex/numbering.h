/*
 * Background numbering: a number, counted up from a first number, printed
 * in the background of every page.
 */
#ifndef ARVEX_NUMBERING_H
#define ARVEX_NUMBERING_H

#include <arvex/buffer.h>
#include <arvex/jobinfo.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Append the numbering fragment when the device supports the function and
   the job asks for it; otherwise append nothing. */
void getInsertStringForBackgroundNumbering(const JobInfo *job, InsertBuffer *out, const char *lf);

/* "true" when in force, else "false" (always "false" unless the PPD says
   AXBackgroundNumberingSupport "true"). */
const char *BnGetFunctionValid(const JobInfo *job);

/* "On" when the PPD marks AXBackgroundNumbering "True", else "Off". */
const char *getPPDBnFunctionValid(const JobInfo *job);

/* Font size: 0 Small, 1 Normal, 2 Large (1 for anything else). */
int BnGetSize(const JobInfo *job);
const char *getPPDBnSize(const JobInfo *job);

/* Density: 0 Light, 1 Normal, 2 Dark, 3 VeryDark (1 for anything else). */
int BnGetDensity(const JobInfo *job);
const char *getPPDBnDensity(const JobInfo *job);

/* Colour: 0 Black, 1 Cyan, 2 Magenta, 3 Yellow, 4 Red, 5 Green, 6 Blue
   (0 for anything else, and always 0 on a monochrome device). */
int BnGetColor(const JobInfo *job);
const char *getPPDBnColor(const JobInfo *job);

/* First number: the job option as a number, else the PPD's custom value of
   keyword, else 1. */
int BnGetStartNumber(const JobInfo *job);
int getPPDBnStartNumber(const JobInfo *job, const char *keyword);

#ifdef __cplusplus
}
#endif

#endif
