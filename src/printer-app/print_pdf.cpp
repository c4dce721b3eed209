// PDF jobs, and the PDF a raster job became: the PJL head, the PDF bytes
// unchanged and the trailer, as the filter writes them, to the printer; or,
// when the job's settings need the job-control library, PostScript with the
// block put in (print_postscript.cpp).

#include "printer_app.h"

#include <cerrno>
#include <memory>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "job_control.h"

namespace arvex::app {

namespace {

constexpr size_t kCopyBlock = 256 * 1024;  // bytes per read and device write
constexpr size_t kHeaderWindow = 1024;     // where a PDF's "%PDF-" may lie

// Whether the file starts, within its first kilobyte, with "%PDF-".
bool looksLikePdf(int fd)
{
  char start[kHeaderWindow];
  const ssize_t got = pread(fd, start, sizeof(start), 0);
  return got > 0 && memmem(start, static_cast<size_t>(got), "%PDF-", 5) != nullptr;
}

struct FileDescriptor {
  explicit FileDescriptor(int descriptor) : fd(descriptor) {}
  FileDescriptor(const FileDescriptor &) = delete;
  FileDescriptor &operator=(const FileDescriptor &) = delete;
  ~FileDescriptor()
  {
    if (fd >= 0)
      close(fd);
  }
  int fd;
};

}  // namespace

DeviceStream::DeviceStream(pappl_job_t *job, pappl_device_t *device) : job_(job), device_(device)
{
  papplDeviceGetMetrics(device, &before_);
}

// PAPPL keeps small writes in its buffer, so failures may show only at a
// later write.
bool DeviceStream::write(const void *bytes, size_t size)
{
  if (size == 0 || papplDeviceWrite(device_, bytes, size) >= 0) {
    sent_ += size;
    return true;
  }
  papplJobSetMessage(job_, "The printer connection failed: %s.", std::strerror(errno));
  return false;
}

// A cancelled job still gets the trailer: its UEL makes the printer leave
// the interpreter at once, for a USB printer too (which has no end of
// connection to tell it the data stopped), and its EOJ closes the PJL job
// the header opened, so the printer's job log and status don't wait on a
// job that will never end.
bool DeviceStream::finish()
{
  const std::string trailer = jobTrailer();
  if (!write(trailer.data(), trailer.size()))
    return false;
  // The flush reports nothing: the device's byte count tells whether
  // everything went out.
  papplDeviceFlush(device_);
  pappl_devmetrics_t after = {};
  papplDeviceGetMetrics(device_, &after);
  if (after.write_bytes - before_.write_bytes != sent_) {
    papplJobSetMessage(job_, "The printer connection failed before the end of the job.");
    return false;
  }
  if (papplJobIsCanceled(job_))
    papplJobSetMessage(job_, "Cancelled; the printer got the end of the job.");
  return true;
}

// A cancelled job stops at the next block.
bool sendJob(pappl_job_t *job, pappl_device_t *device, const std::string &head, int fd)
{
  DeviceStream out(job, device);
  if (!out.write(head.data(), head.size()))
    return false;
  const auto buffer = std::make_unique<char[]>(kCopyBlock);
  ssize_t got;
  while (!papplJobIsCanceled(job) && (got = read(fd, buffer.get(), kCopyBlock)) != 0) {
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0) {
      papplJobSetMessage(job, "Can't read the job's document: %s.", std::strerror(errno));
      return false;
    }
    if (!out.write(buffer.get(), static_cast<size_t>(got)))
      return false;
  }
  return out.finish();
}

bool printDocument(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device, int fd, bool raster,
                   const SecretValues &secrets)
{
  const Model &model = modelOf(job);
  JobRequest request;
  std::string control, head, error;
  bool needsControl = false;
  if (!jobRequest(job, options, model, raster, secrets, request) ||
      !jobControlOptions(job, model, secrets, control, needsControl))
    return false;
  if (needsControl)
    return sendPostScriptJob(job, options, device, request, control, fd);
  if (!buildJobHead(request, head, error)) {
    papplJobSetMessage(job, "%s.", error.c_str());
    return false;
  }
  return sendJob(job, device, head, fd);
}

bool printPdf(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device)
{
  SecretValues secrets;
  if (!takeJobSecrets(job, secrets))
    return false;
  const FileDescriptor file(open(papplJobGetFilename(job), O_RDONLY | O_CLOEXEC));
  if (file.fd < 0) {
    papplJobSetMessage(job, "Can't open the job's document: %s.", std::strerror(errno));
    return false;
  }
  if (!looksLikePdf(file.fd)) {
    papplJobSetMessage(job, "The document is not a PDF file (no %%PDF- header in its first kilobyte).");
    return false;
  }
  return printDocument(job, options, device, file.fd, false, secrets);
}

}  // namespace arvex::app
