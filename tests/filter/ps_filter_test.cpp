// arvex-ps-filter as CUPS runs it: the PJL frame around the PostScript with its comment lines and job-control
// block, the PIN, the queue's settings, and the jobs it refuses before a byte is sent.

#include "arvex/test.h"

#include <tuple>

namespace {

using namespace arvex::test;

// What pstops leaves of a two-page job.
const std::string kJob = "%!PS-Adobe-3.0\n%%Title: (Report)\n%%EndComments\n%%BeginProlog\n%%EndProlog\n"
                         "%%BeginSetup\nS\n%%EndSetup\n%%Page: 1 1\nshowpage\n%%Page: 2 2\nshowpage\n%%EOF\n\x04";
// What the printer gets of it around the block: the frame, the target-device comment before %%EndComments and the
// data up to %%BeginSetup; after it the rest without the ^D, and the trailer.
const std::string kFrame = pjlJob("Report", "alice", "", "|", "POSTSCRIPT");
const size_t kCommentAt = kJob.find("%%EndComments"), kBlockAt = kJob.find("%%BeginSetup\n") + 13;
const std::string kBefore = kFrame.substr(0, kFrame.find('|')) + kJob.substr(0, kCommentAt) +
                            "%%TargetDevice: (Arvex JC Colour) (3010.106) 5\n" +
                            kJob.substr(kCommentAt, kBlockAt - kCommentAt);
const std::string kAfter = kJob.substr(kBlockAt, kJob.size() - kBlockAt - 1) + kFrame.substr(kFrame.find('|') + 1);

Command filter(const std::string &options, const std::string &input, const std::string &ppd,
               const std::string &copies = "1")
{
  return {{built("arvex-ps-filter"), "42", "alice", "Report", copies, options}, {"PPD=" + ppd, "DEVICE_URI"}, input};
}

// The block of a job the printer got, once the frame and the rest of the input are where they belong.
std::string blockOf(const std::string &printed)
{
  EXPECT_TRUE(printed.starts_with(kBefore) && printed.ends_with(kAfter)) << printed.substr(0, 600);
  return printed.size() < kBefore.size() + kAfter.size()
             ? ""
             : printed.substr(kBefore.size(), printed.size() - kBefore.size() - kAfter.size());
}

TEST(PsFilter, PinsAndSettingsMakeTheBlock)
{
  for (const std::string section : {"pin", "settings"}) {
    for (const CaseRow &c : caseTable("ps-filter.txt#" + section, 5)) {
      const PpdFile ppd("jobcontrol-colour.ppd" + (c[1].empty() ? "" : " " + c[1]));
      const Child r = run(filter(c[0], kJob, ppd.path()));
      EXPECT_EQ(std::tuple(r.exitCode, r.err), std::tuple(std::atoi(c[2].c_str()), c[3])) << c.where;
      if (r.exitCode != 0) {
        EXPECT_EQ(r.out, "") << c.where;
        continue;
      }
      const std::string block = blockOf(r.out);
      for (size_t at = c[4].find('|'), next; at != std::string::npos; at = next) {
        next = c[4].find('|', at + 1);
        const std::string line = c[4].substr(at + 1, next == std::string::npos ? next : next - at - 1);
        EXPECT_NE(("\n" + block).find("\n" + line), std::string::npos) << c.where << ": no line " << line;
      }
    }
  }
}

TEST(PsFilter, TheCommandLineHidesThePin)
{
  Command job = filter("copies=1 job-password=4711 x=job-password=1", kJob, fixture("ppd/jobcontrol-colour.ppd"));
  job.holdInput = true;
  std::string shown;
  job.watch = [&shown](const Child &c) {
    if (!inCall(c.pid, SYS_read, 0))
      return 0;
    shown = readFile("/proc/" + std::to_string(c.pid) + "/cmdline");
    return kReleaseInput;
  };
  const Child r = run(job);
  EXPECT_EQ(shown.substr(shown.find("copies=")), std::string("copies=1 job-password=xxxx x=job-password=1\0", 44));
  EXPECT_NE(blockOf(r.out).find("/Password (4711)"), std::string::npos);
}

TEST(PsFilter, PagesCountTheCopiesThePrinterMakes)
{
  const Child twice = run(filter("", kJob, fixture("ppd/jobcontrol-colour.ppd"), "2"));
  EXPECT_EQ(std::tuple(twice.exitCode, twice.err), std::tuple(0, "PAGE: 1 2\nPAGE: 2 2\n"));
  blockOf(twice.out);
  // The PPD that has the copies made in the data gets them as pages.
  const PpdFile manual("jobcontrol-colour.ppd + *cupsManualCopies => *cupsManualCopies: True");
  EXPECT_EQ(run(filter("", kJob, manual.path(), "2")).err, "PAGE: 1 1\nPAGE: 2 1\n");
}

TEST(PsFilter, RefusedJobsSendNothing)
{
  const std::string ppd = fixture("ppd/jobcontrol-colour.ppd");
  const std::string refused = "ERROR: Can't print the job: ";
  const std::tuple<std::string, std::string, std::string, std::string> cases[] = {
      {"job-password=4711", "%PDF-1.7\n", ppd, refused + "its data is a PDF document, not PostScript; nothing was "
                                                        "sent to the printer.\n"},
      {"", "", ppd, refused + "its data is empty, not PostScript; nothing was sent to the printer.\n"},
      {"", "%!PS\n%%EOF\n\x1b%-12345X@PJL ENTER LANGUAGE = POSTSCRIPT\n%!PS\nshowpage\n", ppd,
       refused + "its data holds a second job after its end; nothing was sent to the printer.\n"},
      {"", kJob, "/nonexistent.ppd", refused + "the queue's PPD can't be read, and a PostScript job takes its job "
                                               "type and settings from it.\n"},
      {"", kJob, fixture("ppd/jobcontrol-bare.ppd"), refused + "the queue's PPD names no Product or PSVersion for "
                                                             "the printer.\n"},
  };
  for (const auto &[options, input, path, err] : cases) {
    const Child r = run(filter(options, input, path));
    EXPECT_EQ(std::tuple(r.exitCode, r.out, r.err), std::tuple(1, "", err)) << input.substr(0, 20);
  }
  // The user name goes into the block as the host login name.
  Command odd = filter("", kJob, ppd);
  odd.argv[2] = "eve) pop (";
  const Child r = run(odd);
  EXPECT_EQ(std::tuple(r.exitCode, r.out, r.err),
            std::tuple(1, "", refused + "the user name holds a parenthesis, a backslash or a control character, "
                                        "which would end its PostScript string.\n"));
}

}  // namespace
