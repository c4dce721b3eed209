/*
 * The PJL lines between the job header and the language switch: the PJL
 * commands of the marked PPD choices, the host login name and the
 * authentication block.
 */
#ifndef ARVEX_PJL_H
#define ARVEX_PJL_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <arvex/buffer.h>
#include <arvex/jobinfo.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Append the authentication block to out: the HOSTLOGINNAME line when the
   PPD asks for it, then the user-authentication lines, with the line end
   chosen from the sample, cut where the room of out ends. 0 on success; 1
   with err_no 1 latched when the job has no user authentication or out or
   job is missing. */
int getInsertPJL(const JobInfo *job, InsertBuffer *out, const char *sample, int32_t length);

/* Append "@PJL SET HOSTLOGINNAME" with the filter's user name when
   isHostLoginName() is 1. Always 0. */
int getInsertStringForPJL(const JobInfo *job, InsertBuffer *out, const char *lf);

/* 1 when the PPD's first "AXPJLHOSTLOGINNAMESupport" attribute is exactly
   "true", else 0. */
int isHostLoginName(const JobInfo *job);

/* The PJL text that the marked choice of the PPD option keyword contributes
   to the job, with copies standing for "&copies;": written into out (at
   most size - 1 bytes and a terminator, when out is not NULL and size is
   not 0). Returns the length of the whole text, 0 when the choice
   contributes nothing (or memory ran out: err_no 2); a caller whose buffer
   was too small calls again with one of that length + 1. */
size_t getPJLOptionCommand(const JobInfo *job, const char *keyword, const char *copies, char *out, size_t size);

/* Append the authentication block to the insertion buffer, write its text
   to out and empty the buffer. 0 when the block was written or there was
   none; 1 with err_no 5 latched when the write failed. */
int flushAuthenticationBlock(const JobInfo *job, InsertBuffer *insertion, FILE *out);

#ifdef __cplusplus
}
#endif

#endif
