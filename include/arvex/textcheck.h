/*
 * Checks of custom texts from the PPD and of the scheduler's CUPS version.
 */
#ifndef ARVEX_TEXTCHECK_H
#define ARVEX_TEXTCHECK_H

#ifdef __cplusplus
extern "C" {
#endif

/* major * 100 + minor (minor capped at 99) of a "CUPS/major.minor" text;
   0 for NULL. */
int CUPSVersion(const char *text);

/* 1 when the CUPS version in $SOFTWARE is above 2.0 (200), else 0. */
int getCupsVersion(void);

/* 1 when text is printable ASCII (0x20-0x7E) of min..max bytes, else 0.
   The empty text is accepted when min is 0. */
int isValidCustomText(const char *text, int min, int max);

#ifdef __cplusplus
}
#endif

#endif
