// The filter as CUPS runs it: the PJL frame, the data copied unchanged, the failure paths and SIGTERM.

#include <arvex/frame.h>

#include "arvex/test.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <random>
#include <tuple>

namespace {

using namespace arvex::test;

const std::string kError = "ERROR: ERROR: error in CUPS Filter - : ";
const size_t kTrailerSize = 18, kEnterSize = 26;  // ESC %-12345X@PJL EOJ LF; @PJL ENTER LANGUAGE = PDF LF

std::string cut(const std::string &job, size_t n) { return job.substr(0, job.size() - n); }

std::string randomBytes(size_t size)
{
  std::string data(size, '\0');
  std::generate(data.begin(), data.end(), std::mt19937(static_cast<unsigned>(size)));
  return data;
}

Command filter(std::vector<std::string> args, std::string input = "", const std::string &ppd = "")
{
  args.insert(args.begin(), built("arvex-pdf-filter"));
  Command command{args, {ppd.empty() ? "PPD" : "PPD=" + ppd, "DEVICE_URI", "LANG"}, std::move(input)};
  command.timeLimit = std::chrono::seconds(20);
  return command;
}

TEST(JobHeader, TitleAndUserShareTheRoom)
{
  for (const CaseRow &c : caseTable("filter.txt#header", 4)) {
    TestJob job({.user = c[1], .title = c[0]});
    const std::string header = written([&](FILE *out) { getInsertStringForStartPJL(job.get(), out); });
    EXPECT_EQ(header, cut(pjlJob(c[2], c[3], "", ""), kEnterSize + kTrailerSize)) << c.where;
  }
  EXPECT_EQ(written([](FILE *out) { getInsertStringForStartPJL(nullptr, out); }), "");
  EXPECT_TRUE(isInsertPJLValid());
}

TEST(FilterStream, DataIsCopiedUnchanged)
{
  for (size_t size : {size_t{0}, size_t{4095}, size_t{4096}, size_t{4097}, size_t{3 * 4096}, size_t{10} << 20}) {
    const std::string data = randomBytes(size);
    const Child r = run(filter({"1", "alice", "Report", "1", ""}, data));
    EXPECT_TRUE(std::tuple(r.exitCode, r.out, r.err) == std::tuple(0, pjlJob("Report", "alice", "", data), ""))
        << "size " << size;
  }
  const TempFile file(randomBytes(3 * 4096 + 17));
  const Child r = run(filter({"1", "alice", "Report", "1", "", file.path()}, "standard input is not read"));
  EXPECT_TRUE(r.out == pjlJob("Report", "alice", "", readFile(file.path())));
  // The PJL settings of the PPD's marked choices, with their authentication blocks.
  const Child settings = run(filter({"1", "alice", "Report", "1", "x=1"}, "pdf", fixture("ppd/pjl-userauth.ppd")));
  EXPECT_EQ(settings.out, pjlJob("Report", "alice", readFile(fixture("golden/pjl/pass-userauth.txt")), "pdf"));
  // PPDs that can't be read: the job goes through without settings.
  const TempFile garbage(randomBytes(5000));
  for (const std::string &ppd : {garbage.path(), std::string("/nonexistent.ppd")})
    EXPECT_EQ(run(filter({"1", "u", "t", "2", "Duplex=DuplexNoTumble"}, "pdf", ppd)).out, pjlJob("t", "u", "", "pdf"));
}

TEST(FilterFailure, OneMessageAndStatusOne)
{
  const std::tuple<std::vector<std::string>, std::string, std::string> cases[] = {
      {{"1", "u", "t", "1"}, "", "Usage: arvex-pdf-filter job-id user title copies options [file]\n"},
      {{"1", "u", "t", "1", "", "/nonexistent/job.pdf"}, "", kError + "No such file or directory\n"},
      {{"1", "u", "t", "1", "", ""}, "", kError + "No such file or directory\n"},
      {{"1", "u", "t", "1", "", "/"}, cut(pjlJob("t", "u", "", ""), kTrailerSize), kError + "Is a directory\n"}};
  for (const auto &[args, out, err] : cases) {
    const Child r = run(filter(args, "data"));
    EXPECT_EQ(std::tuple(r.exitCode, r.out, r.err), std::tuple(1, out, err));
  }
  // A reader that goes away: the failed write ends the job, SIGPIPE doesn't. User authentication being off has
  // latched its code first.
  Command closing = filter({"1", "u", "t", "1", "x=1"}, randomBytes(8 << 20), fixture("ppd/pjl-options.ppd"));
  closing.closeOutputAfter = 300000;
  const Child r = run(closing);
  EXPECT_EQ(std::tuple(r.exitCode, r.err), std::tuple(1, kError + "Broken pipe\n"));
}

TEST(FilterSignals, TermWhileWaitingForDataEndsWithoutTrailer)
{
  const std::string data = randomBytes(25 * 4096);  // whole blocks: none waits in the read
  Command job = filter({"1", "u", "t", "1", ""}, data);
  job.holdInput = true;
  job.watch = [](const Child &c) { return c.inputDrained && inCall(c.pid, SYS_read, 0) ? SIGTERM : 0; };
  const Child r = run(job);
  EXPECT_TRUE(std::tuple(r.exitCode, r.err, r.out) == std::tuple(1, "", cut(pjlJob("t", "u", "", data), kTrailerSize)));
  // A reader that stalls while a write is half done: the job still ends.
  const TempFile file(randomBytes(8 << 20));
  Command stalled = filter({"1", "u", "t", "1", "", file.path()});
  stalled.stallOutputAfter = 20000;
  stalled.watch = [sent = false](const Child &c) mutable {
    return !sent && c.out.size() == 20000 && inCall(c.pid, SYS_write, 1) && (sent = true) ? SIGTERM : 0;
  };
  EXPECT_EQ(run(stalled).exitCode, 1);  // not -1: killed at the time limit
}

TEST(FilterTimeZone, ZonesThatAreNoZoneFileAreNotLoaded)
{
  // The C library would read these as the zone file: the job's own data, or a FIFO that never ends.
  const std::string fifo = testing::TempDir() + "arvex-tz-fifo";
  unlink(fifo.c_str());
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string zone : {"/dev/stdin", ":/dev/stdin", "/proc/self/fd/0", fifo.c_str(), "../../../dev/stdin"}) {
    const Child r = run(filter({"1", "u", "t", "1", PS "11ATimeZone=" + zone}, "%PDF-1.4 data"));
    EXPECT_EQ(std::tuple(r.exitCode, r.out, r.err),
              std::tuple(0, pjlJob("t", "u", "", "%PDF-1.4 data"),
                         "DEBUG: the time-zone option names no zone file or rule; the local zone stays\n"))
        << zone;
  }
  unlink(fifo.c_str());
}

}  // namespace
