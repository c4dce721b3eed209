// What a PostScript job gets from the job-control library, for
// arvex-ps-filter and the Printer Application alike: the job record readied
// (the PPD marked, a PIN made a locked print, the identity a held job needs,
// the values the block carries as they stand checked), then the comment
// lines and the block built for the job's line end.
#ifndef ARVEX_POSTSCRIPT_JOB_TEXTS_H
#define ARVEX_POSTSCRIPT_JOB_TEXTS_H

#include <arvex/jobinfo.h>

#include <string>
#include <string_view>

namespace arvex::ps {

// Why a job can't have its block: a sentence for the job's message (which
// never holds a PIN or password), or a want of memory. Empty: it can.
struct Refusal {
  std::string why;
  bool memory = false;
  explicit operator bool() const { return memory || !why.empty(); }
};

// Ready the record of a job that has its PPD: the PPD marked with its
// defaults and the job's options; the queue's choices of the options the
// block reads from the job alone (output bin, banner page) given as job
// options; a job-password of 4 to 8 digits made a locked print of the
// job's user, unless the job chose its type itself; a user ID for a job
// that waits at the printer (the job's user when neither the job nor the
// queue has one), a password of 4 to 8 digits for a locked print; and no
// value the block writes as it stands that would leave its place.
Refusal readyJob(JobInfo &job);

// The texts that go into the job's PostScript, each of whole lines.
struct JobTexts {
  std::string comments;  // %%LOGINGID: and %%TargetDevice:, for before %%EndComments
  std::string block;     // the job-control block
  std::string lineEnd;   // the job's line end, which the texts use
};

// Build the texts for a readied job, with the line end of sample (the start
// of its PostScript). The library is called by one thread at a time.
Refusal buildTexts(JobInfo &job, std::string_view sample, JobTexts &texts);

}  // namespace arvex::ps

#endif
