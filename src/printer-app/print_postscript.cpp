// Jobs whose settings need the printer's job control: Ghostscript makes the
// PDF PostScript, the job-control block and comment lines go into it by the
// rules arvex-ps-filter follows (one insertion unit for both), and it goes
// to the printer in the PJL frame with ENTER LANGUAGE = POSTSCRIPT. The
// PostScript waits in a temporary file, which holds no secret: the block,
// with the PIN, is put in on the way to the printer. Nothing is sent before
// Ghostscript has finished and the block is built.

#include "printer_app.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <unistd.h>

#include "dsc_insert.h"
#include "job_texts.h"
#include "ps_convert.h"

namespace arvex::app {

namespace {

constexpr int kResolution = 600;  // dpi of what ps2write must render itself (shadings, transparency)

class FileSource : public ps::ByteSource {
public:
  explicit FileSource(int fd) : fd_(fd) {}
  ssize_t read(char *data, size_t size) override
  {
    ssize_t got;
    while ((got = ::read(fd_, data, size)) < 0 && errno == EINTR) {
    }
    return got;
  }

private:
  int fd_;
};

// The printer's end: a cancelled job stops writing here.
class DeviceSink : public ps::ByteSink {
public:
  DeviceSink(pappl_job_t *job, DeviceStream &out) : job_(job), out_(out) {}
  bool write(const char *data, size_t size) override { return !papplJobIsCanceled(job_) && out_.write(data, size); }

private:
  pappl_job_t *job_;
  DeviceStream &out_;
};

void wipe(std::string &text)
{
  explicit_bzero(text.data(), text.size());
  text.clear();
}

// The texts of the job's block, wiped when they go.
struct WipedTexts : ps::JobTexts {
  WipedTexts() = default;
  WipedTexts(const WipedTexts &) = delete;
  WipedTexts &operator=(const WipedTexts &) = delete;
  ~WipedTexts()
  {
    wipe(comments);
    wipe(block);
  }
};

// The directory of the job's document, where its PostScript may wait too.
std::string spoolOf(pappl_job_t *job)
{
  const std::string document = papplJobGetFilename(job) ? papplJobGetFilename(job) : "";
  const size_t slash = document.rfind('/');
  return slash == std::string::npos ? std::string("/tmp") : document.substr(0, slash);
}

}  // namespace

bool sendPostScriptJob(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device,
                       const JobRequest &request, const std::string &control, int fd)
{
  const Model &model = modelOf(job);
  if (access(model.psPpdPath.c_str(), R_OK) != 0) {
    papplJobSetMessage(job, "The job needs the printer's job control, and there is no PostScript PPD for the model "
                            "(%s).", model.psPpdPath.c_str());
    return false;
  }
  const bool gray = !model.color || options->print_color_mode == PAPPL_COLOR_MODE_MONOCHROME;
  const PsConversion postscript =
      convertToPostScript(fd, gray, kResolution, spoolOf(job), [job] { return papplJobIsCanceled(job); });
  if (!postscript.problem.empty()) {
    papplJobSetMessage(job, "%s", postscript.problem.c_str());
    return false;
  }

  // The block: the job record on the PostScript PPD, with the job's
  // settings and its job-control options, readied as the filter readies it.
  JobRequest blockRequest = request;
  blockRequest.ppdPath = model.psPpdPath;
  blockRequest.options += (blockRequest.options.empty() ? "" : " ") + control;
  JobRecord record = openJobRecord(blockRequest);
  wipe(blockRequest.options);
  if (!record) {
    papplJobSetMessage(job, "Can't read the PostScript PPD %s.", model.psPpdPath.c_str());
    return false;
  }
  if (const ps::Refusal refusal = ps::readyJob(*record)) {
    papplJobSetMessage(job, "%s", refusal.memory ? "Out of memory for the job's job control." : refusal.why.c_str());
    return false;
  }
  FileSource source(postscript.fd);
  ps::DscInserter inserter(source);
  const ps::InputKind kind = inserter.readHead();
  if (kind != ps::InputKind::PostScript) {
    papplJobSetMessage(job, "Ghostscript's output is %s, not PostScript.", ps::describeInput(kind));
    return false;
  }
  WipedTexts texts;
  if (const ps::Refusal refusal = ps::buildTexts(*record, inserter.sample(), texts)) {
    papplJobSetMessage(job, "%s", refusal.memory ? "Out of memory for the job's job control." : refusal.why.c_str());
    return false;
  }
  std::string head, error;
  if (!buildJobHead(request, head, error, "POSTSCRIPT")) {
    papplJobSetMessage(job, "%s.", error.c_str());
    return false;
  }

  DeviceStream out(job, device);
  if (!out.write(head.data(), head.size()))
    return false;
  DeviceSink sink(job, out);
  switch (inserter.copy(sink, {texts.comments, texts.block, texts.lineEnd})) {
  case ps::CopyResult::Done:
    break;
  case ps::CopyResult::WriteFailed:
    if (!papplJobIsCanceled(job))
      return false;  // the device's failure, with its message
    break;           // cancelled: the trailer still goes
  case ps::CopyResult::ReadFailed:
    papplJobSetMessage(job, "Can't read Ghostscript's output: %s.", std::strerror(errno));
    return false;
  case ps::CopyResult::SecondJob:
    papplJobSetMessage(job, "Ghostscript's output holds a second job.");
    return false;
  }
  return out.finish();
}

}  // namespace arvex::app
