// The job driver of arvex-pdf-filter and arvex-ps-filter (see filter_job.h).

#include "filter_job.h"

#include <arvex/error.h>
#include <arvex/frame.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <poll.h>
#include <stdio_ext.h>
#include <syslog.h>
#include <unistd.h>

#include "../pjl/option_pass.h"

void SignalHandler(int signal);

namespace arvex::filter {

namespace {

constexpr size_t kInsertBufferSize = 4096;
// Stream buffers of the size of a Linux pipe's buffer make each write fill
// the pipe once and keep the number of system calls below that of cat.
constexpr size_t kStreamBufferSize = 64 * 1024;
constexpr int kPipeSize = 1 << 20;

// glibc ignores the size given to setvbuf without a buffer, so the streams
// get these. Static: standard output is still flushed during exit().
char inputStreamBuffer[kStreamBufferSize];
char outputStreamBuffer[kStreamBufferSize];

// Set by SignalHandler; the job stream ends the process where it notices it.
volatile sig_atomic_t terminationRequested = 0;

// Standard output as a stream that a cancelled job never waits on. stdio's
// own writer retries the rest of a write that SIGTERM cut short and blocks
// again on a reader that stalls; this one, once SIGTERM has come, writes
// only what the reader takes at once (pieces of PIPE_BUF bytes while poll
// reports room), so the exit's flush still hands over what it can and the
// job ends at once. Returns what was written, or -1 with errno set when
// nothing was.
ssize_t writeOutput(void * /*cookie*/, const char *data, size_t size)
{
  size_t done = 0;
  while (done < size) {
    size_t piece = size - done;
    if (terminationRequested) {
      pollfd ready = {STDOUT_FILENO, POLLOUT, 0};
      if (poll(&ready, 1, 0) != 1 || (ready.revents & POLLOUT) == 0)
        break;
      piece = std::min<size_t>(piece, PIPE_BUF);
    }
    const ssize_t n = ::write(STDOUT_FILENO, data + done, piece);
    if (n > 0)
      done += static_cast<size_t>(n);
    else if (n == 0 || errno != EINTR)
      break;
  }
  if (done > 0 || size == 0)
    return static_cast<ssize_t>(done);
  if (errno == 0 || terminationRequested)
    errno = EINTR;
  return -1;
}

// Only the main thread uses the job's input and output (the reporting
// thread writes standard error alone), so stdio needn't lock them on every
// call, as it otherwise does once a second thread exists: on the copy loop
// that locking would cost about 2% of a job.
void ownStream(FILE *stream)
{
  __fsetlocking(stream, FSETLOCKING_BYCALLER);
}

}  // namespace

int FilterJob::run()
{
  try {
    return writeJob();
  } catch (const std::bad_alloc &) {
    latchError(ARVEX_ERR_MEMORY);
    return fail();
  }
}

// The job stream: what the data must tell first, header, PJL settings,
// data, trailer.
int FilterJob::writeJob()
{
  out_ = fopencookie(nullptr, "w", {nullptr, writeOutput, nullptr, nullptr});
  if (!out_) {
    latchError(ARVEX_ERR_MEMORY);
    return fail();
  }
  std::setvbuf(out_, outputStreamBuffer, _IOFBF, sizeof(outputStreamBuffer));
  ownStream(out_);
  // A pipe to the backend of 1 MiB (the most an unprivileged process may
  // ask for) lets filter and backend run side by side rather than take
  // turns every 64 KiB. Anything else on standard output stays as it is.
  fcntl(STDOUT_FILENO, F_SETPIPE_SZ, kPipeSize);

  insertStorage_.reset(new (std::nothrow) char[kInsertBufferSize]());
  if (!insertStorage_) {
    latchError(ARVEX_ERR_MEMORY);
    return fail();
  }
  insertion_ = {insertStorage_.get(), kInsertBufferSize, insertStorage_.get()};

  if (argc_ > 6 && argv_[6]) {
    in_ = std::fopen(argv_[6], "rb");
    if (!in_) {
      latchError(errno == ENOMEM ? ARVEX_ERR_MEMORY : ARVEX_ERR_OPEN);
      return fail();
    }
  }
  std::setvbuf(in_, inputStreamBuffer, _IOFBF, sizeof(inputStreamBuffer));
  ownStream(in_);

  job_.reset(CreateJobInfo(argc_, argv_));
  if (!job_) {
    latchError(ARVEX_ERR_WRITER);
    return fail();
  }
  getClientTimeZone(job_.get());

  // Marks the PPD for every later reader, and may start the reporting thread.
  report_.reset(StartReportLevels(job_->numOptions, job_->options, argv_, job_->ppd));

  struct sigaction term = {};
  term.sa_handler = SignalHandler;
  sigemptyset(&term.sa_mask);
  term.sa_flags = 0;  // no SA_RESTART: a blocked read or write returns at once
  sigaction(SIGTERM, &term, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  if (!data_.prepare(*this))
    return fail();
  exitIfTerminated();

  getInsertStringForStartPJL(job_.get(), out_);
  syslog(LOG_ERR, "adding codes for Mac PDF driver\n");

  if (runPjlOptionPass(job_.get(), out_, &insertion_, argv_) != 0)
    return fail();
  exitIfTerminated();

  writeEnterLanguage(out_, data_.language());
  if (!data_.copy(*this))
    return fail();
  getInsertStringForEndPJL(job_.get(), out_);

  // The data may still sit in the stream buffer: a failed flush loses job
  // data just like a failed copy write.
  if (std::fflush(out_) != 0) {
    exitIfTerminated();
    latchError(ARVEX_ERR_WRITE);
    return fail();
  }
  release();
  return 0;
}

// SIGTERM: leave with status 1 through the ordinary exit, flushing stdio,
// without a message and without the PJL trailer. The reporting thread is
// stopped first so that nothing else writes while the streams are flushed.
void FilterJob::exitIfTerminated()
{
  if (!terminationRequested)
    return;
  report_.reset();
  std::exit(1);
}

// The failure path: release everything, then the one error message.
int FilterJob::fail()
{
  const int failureErrno = errno;  // the message describes the failure, not the cleanup
  release();
  errno = failureErrno;
  if (!refusal_.empty())
    std::fprintf(stderr, "ERROR: %s\n", refusal_.c_str());
  else if (err_no == ARVEX_ERR_MEMORY)
    writeError("Source/main", 543, "ERROR: memory error in CUPS Filter - ");
  else
    writeError("Source/main", 551, "ERROR: error in CUPS Filter - ");
  return 1;
}

// Stop the reporting thread before the record it reads is disposed.
void FilterJob::release()
{
  report_.reset();
  insertStorage_.reset();
  insertion_ = {};
  if (in_ && in_ != stdin)
    std::fclose(in_);
  in_ = nullptr;
  job_.reset();
}

int runFilter(int argc, char *argv[], const char *name, JobData &data)
{
  if (argc < 6) {
    std::fprintf(stderr, "Usage: %s job-id user title copies options [file]\n", name);
    return 1;
  }
  FilterJob job(argc, argv, data);
  return job.run();
}

}  // namespace arvex::filter

// SIGTERM handler. The request is only recorded here: exiting from signal
// context could run stdio flushes while the interrupted code holds a stream.
// Because the handler is installed without SA_RESTART, a blocked read or
// write returns with EINTR and the job stream acts on the request at once.
void SignalHandler(int signal)
{
  if (signal == SIGTERM)
    arvex::filter::terminationRequested = 1;
}
