// Fixture paths, temporary files, edited PPDs, test jobs, guarded buffers
// and golden files.

#include "arvex/test.h"

#include <arvex/error.h>

#include <sanitizer/asan_interface.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace arvex::test {

namespace {
constexpr size_t kGuardSize = 16;
constexpr char kGuardByte = '#';
}  // namespace

std::string fixture(const std::string &name)
{
  return std::string(ARVEX_SOURCE_DIR) + "/fixtures/" + name;
}

std::string built(const std::string &name)
{
  return std::string(ARVEX_BINARY_DIR) + "/" + name;
}

std::string readFile(const std::string &path)
{
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

TempFile::TempFile(const std::string &content)
{
  char name[] = "/tmp/arvex-test-XXXXXX";
  const int fd = mkstemp(name);
  path_ = name;
  if (fd < 0 || write(fd, content.data(), content.size()) != static_cast<ssize_t>(content.size()))
    throw std::runtime_error("cannot write a temporary file");
  close(fd);
}

TempFile::~TempFile()
{
  unlink(path_.c_str());
}

namespace {
std::string edited(const std::string &text, const PpdEdits &edits)
{
  std::istringstream in(text);
  std::vector<bool> used(edits.size());
  std::string out, line;
  while (std::getline(in, line)) {
    size_t i = 0;
    while (i < edits.size() && line.rfind(edits[i].first, 0) != 0)
      ++i;
    if (i == edits.size())
      out += line + "\n";
    else if (used[i] = true; !edits[i].second.empty())
      out += edits[i].second + "\n";
  }
  for (size_t i = 0; i < edits.size(); ++i)
    if (!used[i])
      out += edits[i].second + "\n";
  return out;
}
}  // namespace

EditedPpd::EditedPpd(const std::string &name, const PpdEdits &edits)
    : TempFile(edited(readFile(fixture("ppd/" + name)), edits))
{
}

TestJob::TestJob(const JobSpec &spec)
    : args_{"arvex-pdf-filter", "42", spec.user, spec.title, spec.copies, spec.options}
{
  for (auto &arg : args_)
    argv_.push_back(arg.data());
  argv_.push_back(nullptr);
  const std::string ppd = spec.ppd.empty() || spec.ppd[0] == '/' ? spec.ppd : fixture("ppd/" + spec.ppd);
  job_.reset(CreateJobInfoWithPPD(static_cast<int>(args_.size()), argv_.data(), ppd.empty() ? nullptr : ppd.c_str()));
  if (!job_ || (!ppd.empty() && !job_->ppd))
    throw std::runtime_error("no job record for PPD " + ppd);
  markJobPPD(job_.get());
  err_no = 0;
}

GuardedBuffer::GuardedBuffer(size_t capacity) : storage_(new char[capacity + kGuardSize])
{
  std::memset(storage_.get(), 0, capacity);
  std::memset(storage_.get() + capacity, kGuardByte, kGuardSize);
  ASAN_POISON_MEMORY_REGION(storage_.get() + capacity, kGuardSize);
  buf_ = {storage_.get(), capacity, storage_.get()};
}

std::string GuardedBuffer::text() const
{
  return std::string(buf_.start, strnlen(buf_.start, buf_.capacity));
}

bool GuardedBuffer::intact() const
{
  char *guard = storage_.get() + buf_.capacity;
  ASAN_UNPOISON_MEMORY_REGION(guard, kGuardSize);
  const bool guarded = std::string(guard, kGuardSize) == std::string(kGuardSize, kGuardByte);
  ASAN_POISON_MEMORY_REGION(guard, kGuardSize);
  const size_t length = strnlen(buf_.start, buf_.capacity);
  return guarded && length < buf_.capacity && buf_.cursor == buf_.start + length;
}

std::string normalised(std::string text)
{
  static const std::pair<std::regex, const char *> rules[] = {
      {std::regex("\\b[0-9]{12}\\b"), "YYYYMMDDhhmm"},
      {std::regex("[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}"), "YYYY/MM/DD hh:mm"},
      {std::regex("/HostName \\([^)]*\\)"), "/HostName (HOST)"},
      {std::regex("\x1b%-12345X"), "<UEL>"},
  };
  for (const auto &[pattern, replacement] : rules)
    text = std::regex_replace(text, pattern, replacement);
  return text;
}

void expectGolden(const std::string &name, const std::string &text)
{
  const std::string path = fixture("golden/" + name);
  if (const char *update = std::getenv("ARVEX_GOLDEN_UPDATE"); update && std::strcmp(update, "1") == 0) {
    std::ofstream(path, std::ios::binary) << normalised(text);
    std::printf("rewrote %s: review it before committing\n", path.c_str());
    return;
  }
  EXPECT_EQ(normalised(text), normalised(readFile(path))) << "golden file " << path;
}

}  // namespace arvex::test
