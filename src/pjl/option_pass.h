// The PJL lines between the job header and the language switch.
#ifndef ARVEX_PJL_OPTION_PASS_H
#define ARVEX_PJL_OPTION_PASS_H

#include <cstdio>

#include <arvex/buffer.h>
#include <arvex/jobinfo.h>

// Write the PJL commands of the PPD's marked choices, each followed by an
// authentication-block flush, then flush once more and empty the insertion
// buffer. 0 on success; on a failed flush write 5 is latched and 1 returned.
// trace logs the groups and options walked to syslog, as the filter does;
// a long-running server passes false to keep them out of its system log.
int runPjlOptionPass(const JobInfo *job, FILE *out, InsertBuffer *insertion, char *argv[], bool trace = true);

#endif
