// arvex-ps-filter as CUPS runs it: the PJL frame around the PostScript with its comment lines and job-control
// block, the PIN, the queue's settings, and the jobs it refuses before a byte is sent.

#include "arvex/test.h"

#include <tuple>

namespace {

using namespace arvex::test;

// What pstops leaves of a two-page job.
const std::string kJob = "%!PS-Adobe-3.0\n%%Title: (Report)\n%%EndComments\n%%BeginProlog\n%%EndProlog\n"
                         "%%BeginSetup\nS\n%%EndSetup\n%%Page: 1 1\nshowpage\n%%Page: 2 2\nshowpage\n%%EOF\n\x04";
const std::string kTargetDevice = "%%TargetDevice: (Arvex JC Colour) (3010.106) 5\n";

Command filter(const std::string &options, const std::string &input, const std::string &ppd,
               const std::string &copies = "1")
{
  return {{built("arvex-ps-filter"), "42", "alice", "Report", copies, options}, {"PPD=" + ppd, "DEVICE_URI"}, input};
}

// The block of a job the printer got, after the frame and the rest of the input were found where they belong.
std::string blockOf(const Child &r, const std::string &copies = "1")
{
  const std::string setup = "%%BeginSetup\n";
  const size_t head = kJob.find(setup) + setup.size();
  std::string printed = r.out;
  const std::string before = pjlJob("Report", "alice", "", "", "POSTSCRIPT");
  const std::string frameHead = before.substr(0, before.find("\x1b%-12345X@PJL EOJ"));
  const std::string withComments = kJob.substr(0, kJob.find("%%EndComments")) + kTargetDevice +
                                   kJob.substr(kJob.find("%%EndComments"), head - kJob.find("%%EndComments"));
  const std::string tail = kJob.substr(head, kJob.size() - head - 1) + "\x1b%-12345X@PJL EOJ\n";
  EXPECT_TRUE(printed.starts_with(frameHead + withComments) && printed.ends_with(tail))
      << "copies " << copies << ": " << printed.substr(0, 600);
  if (printed.size() < frameHead.size() + withComments.size() + tail.size())
    return "";
  return printed.substr(frameHead.size() + withComments.size(),
                        printed.size() - frameHead.size() - withComments.size() - tail.size());
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
      const std::string block = blockOf(r);
      for (size_t at = c[4].find('|'), next; at != std::string::npos; at = next) {
        next = c[4].find('|', at + 1);
        const std::string line = c[4].substr(at + 1, next == std::string::npos ? next : next - at - 1);
        EXPECT_NE(("\n" + block).find("\n" + line), std::string::npos) << c.where << ": no line " << line;
      }
    }
  }
}

TEST(PsFilter, PagesCountTheCopiesThePrinterMakes)
{
  const Child twice = run(filter("", kJob, fixture("ppd/jobcontrol-colour.ppd"), "2"));
  EXPECT_EQ(std::tuple(twice.exitCode, twice.err), std::tuple(0, "PAGE: 1 2\nPAGE: 2 2\n"));
  blockOf(twice, "2");
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
