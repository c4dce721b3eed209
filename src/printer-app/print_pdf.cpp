// PDF jobs: the PJL head, the PDF bytes unchanged and the trailer, as the
// filter writes them, to the printer.

#include "printer_app.h"

#include <cerrno>
#include <memory>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

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

// Write to the device; PAPPL keeps small writes in its buffer, so failures
// may show only at a later write.
bool deviceWrite(pappl_job_t *job, pappl_device_t *device, const void *bytes, size_t size, size_t &sent)
{
  if (size == 0 || papplDeviceWrite(device, bytes, size) >= 0) {
    sent += size;
    return true;
  }
  papplJobSetMessage(job, "The printer connection failed: %s.", std::strerror(errno));
  return false;
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

// A cancelled job stops at the next block and still gets the trailer: its
// UEL makes the printer leave the PDF interpreter at once, for a USB printer
// too (which has no end of connection to tell it the data stopped), and its
// EOJ closes the PJL job the header opened, so the printer's job log and
// status don't wait on a job that will never end.
bool sendJob(pappl_job_t *job, pappl_device_t *device, const std::string &head, int fd)
{
  pappl_devmetrics_t before = {}, after = {};
  papplDeviceGetMetrics(device, &before);
  size_t sent = 0;
  if (!deviceWrite(job, device, head.data(), head.size(), sent))
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
    if (!deviceWrite(job, device, buffer.get(), static_cast<size_t>(got), sent))
      return false;
  }
  const std::string trailer = jobTrailer();
  if (!deviceWrite(job, device, trailer.data(), trailer.size(), sent))
    return false;
  // The flush reports nothing: the device's byte count tells whether
  // everything went out.
  papplDeviceFlush(device);
  papplDeviceGetMetrics(device, &after);
  if (after.write_bytes - before.write_bytes != sent) {
    papplJobSetMessage(job, "The printer connection failed before the end of the job.");
    return false;
  }
  if (papplJobIsCanceled(job))
    papplJobSetMessage(job, "Cancelled; the printer got the end of the job.");
  return true;
}

bool printPdf(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device)
{
  JobRequest request;
  std::string head, error;
  if (!jobRequest(job, options, modelOf(job), false, request))
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
  if (!buildJobHead(request, head, error)) {
    papplJobSetMessage(job, "%s.", error.c_str());
    return false;
  }
  return sendJob(job, device, head, file.fd);
}

}  // namespace arvex::app
