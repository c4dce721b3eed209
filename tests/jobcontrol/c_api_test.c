/* The library from plain C, as an integrator uses it: the job record, the three entries, the release. Argument: the
 * colour job-control PPD. */
#define _POSIX_C_SOURCE 200809L

#include <arvex/arvex.h>

#include <stdio.h>
#include <string.h>

int main(int argc, char *argv[])
{
  static char text[16384];
  static const char sample[] = "%!PS-Adobe-3.0\r\n%%Pages: 1\r\n", opening[] = "mark{\r\n\t<<\r\n\t/HostCharSet 33\r\n";
  char *args[] = {"c_api_test", "7", "carol", "Budget", "1", "com.arvex.printsettings.11AJobType='Saved Print' "
                  "com.arvex.printsettings.11AUserID=carol AXPersonalAuthentication=True AXPAUserCode=Custom.carol7",
                  NULL};
  InsertBuffer out = {text, sizeof(text), text};
  JobInfo *job = argc == 2 ? CreateJobInfoWithPPD(6, args, argv[1]) : NULL;
  const int n = (int)strlen(sample);
  int failed = !job || !job->ppd;
  if (!failed) {
    markJobPPD(job);
    failed |= getJobType(job) != ARVEX_JOB_STORED || getInsertString(job, &out, sample, n) != 0 ||
              getInsertComment(job, &out, sample, n) != 0 || getInsertCommentOfTargetDevice(job, &out, sample, n) != 0;
    failed |= strncmp(text, opening, strlen(opening)) != 0 || !strstr(text, "\t/JobAttr <<\t/Save 1\r\n") ||
              out.cursor != text + strlen(text) ||
              !strstr(text, "cleartomark\r\n%%LOGINGID: carol7\r\n%%TargetDevice: (Arvex JC Colour) (3010.106) 5\r\n");
  }
  DisposeJobInfo(job);
  printf("c_api_test: %s\n", failed ? "failed" : "all checks passed");
  return failed;
}
