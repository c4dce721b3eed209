/*
 * Uses the job-control library from plain C, as an integrator would: build
 * the job record, mark the queue's PPD, call the three entries, release the
 * record. Takes the colour job-control fixture PPD as its argument; exits 0
 * when every check holds.
 */
#define _POSIX_C_SOURCE 200809L

#include <arvex/arvex.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failures = 0;

#define CHECK(cond)                                                          \
  do {                                                                       \
    if (!(cond)) {                                                           \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      ++failures;                                                            \
    }                                                                        \
  } while (0)

static char storage[16384];

int main(int argc, char *argv[])
{
  static const char sample[] = "%!PS-Adobe-3.0\r\n%%Pages: 1\r\n";
  static const char opening[] = "mark{\r\n\t<<\r\n\t/HostCharSet 33\r\n\t/DriverType 5\r\n\t>>\r\n";
  static const char stored[] = "\t/JobAttr <<\t/Save 1\r\n\t\t/Public false\r\n\t\t>>\r\n";
  char *args[] = {"c_api_test", "7", "carol", "Budget", "1",
                  "com.arvex.printsettings.11AJobType='Saved Print' com.arvex.printsettings.11AUserID=carol "
                  "com.arvex.printsettings.11APassword=1357 com.arvex.printsettings.11AFileName=Budget "
                  "AXPersonalAuthentication=True AXPAUserCode=Custom.carol7",
                  NULL};
  InsertBuffer out = {storage, sizeof(storage), storage};
  JobInfo *job;
  size_t used;

  if (argc < 2) {
    fprintf(stderr, "usage: %s jobcontrol-colour.ppd\n", argv[0]);
    return 2;
  }
  setenv("PPD", argv[1], 1);
  job = CreateJobInfo(6, args);
  CHECK(job != NULL);
  if (!job)
    return 1;
  CHECK(job->ppd != NULL);
  if (job->ppd) {
    ppdMarkDefaults(job->ppd);
    cupsMarkOptions(job->ppd, job->numOptions, job->options);
  }

  CHECK(getJobType(job) == ARVEX_JOB_STORED);
  CHECK(getInsertString(job, &out, sample, (int)strlen(sample)) == 0);
  CHECK(strncmp(storage, opening, strlen(opening)) == 0);
  CHECK(strstr(storage, stored) != NULL);
  CHECK(out.cursor == storage + strlen(storage));

  used = strlen(storage);
  CHECK(getInsertComment(job, &out, sample, (int)strlen(sample)) == 0);
  CHECK(strcmp(storage + used, "%%LOGINGID: carol7\r\n") == 0);

  used = strlen(storage);
  CHECK(getInsertCommentOfTargetDevice(job, &out, sample, (int)strlen(sample)) == 0);
  CHECK(strcmp(storage + used, "%%TargetDevice: (Arvex JC Colour) (3010.106) 5\r\n") == 0);

  CHECK(strcmp(BnGetFunctionValid(job), "false") == 0);
  DisposeJobInfo(job);
  if (failures == 0)
    printf("c_api_test: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
