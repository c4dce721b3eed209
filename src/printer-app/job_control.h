// The printers' job control as IPP: the job type and the identity fields it
// needs, copy control with its marking text, background numbering, synchro
// cut, the banner page and colour balance as vendor attributes of every
// driver, and the standard job-password as the PIN of a locked print.
// A job whose settings need the job-control library is printed as
// PostScript (print_postscript.cpp); every other job stays PDF.
#ifndef ARVEX_APP_JOB_CONTROL_H
#define ARVEX_APP_JOB_CONTROL_H

#include <pappl/pappl.h>

#include <string>

#include "job_secrets.h"
#include "model.h"

namespace arvex::app {

// Add the job-control vendor attributes (names, -supported, -default) and
// the job-password attributes to a driver.
void describeJobControl(const Model &model, pappl_pr_driver_data_t *data, ipp_t *attrs);

bool isJobControl(const char *name);

// Why the value of job-control attribute name (for a job, or as the
// printer's default) can't be used: the wrong type, a keyword it doesn't
// know, a number out of range, a text against the printers' rule; nullptr
// when it can, and for names that aren't job control.
const char *jobControlProblem(ipp_attribute_t *attr, const char *name);

// The job-control library's job options for the job's settings (its own,
// else the printer's defaults) and its PIN, in CUPS option syntax, and
// whether the job needs them at all. false, with the job's message set,
// when a value can't be used.
bool jobControlOptions(pappl_job_t *job, const Model &model, const SecretValues &secrets, std::string &options,
                       bool &needed);

}  // namespace arvex::app

#endif
