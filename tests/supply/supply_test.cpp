// Supply levels and printer states: what decides whether the reporting thread runs, one query cycle against replies
// queued on the side channel, and the thread in the filter, stopped wherever it waits.

#include <cups/sidechannel.h>

#include "arvex/test.h"
#include "reporting.h"

#include <climits>
#include <csignal>
#include <sstream>
#include <tuple>

namespace {

using namespace arvex::test;
using namespace std::string_literals;

const std::string kLevelOid = ".1.3.6.1.4.1.32473.3.2.1.2.24.1.1.5.", kStateOid = ".1.3.6.1.2.1.25.3.5.1.2.1";
const std::string kFailed = "DEBUG: Get Supply-Info request failed with status: ";
const char *const kSocket = "socket://printer.example.com:9100";
char *kArgv[] = {const_cast<char *>("arvex-pdf-filter"), nullptr};  // argv[0] names no device
enum { kNet = REPORT_DEVICE_NETWORK, kUsb = REPORT_DEVICE_USB, kCmyk = REPORT_COLOR_CMYK, kMono = REPORT_COLOR_MONO };

void deviceUri(const char *uri) { uri ? setenv("DEVICE_URI", uri, 1) : unsetenv("DEVICE_URI"); }

// Queue the replies of a script (its form: fixtures/cases/supply.txt, [cycle]); requests: the keys they answer.
void queue(SideChannel &channel, const std::string &script, const std::string &requests)
{
  std::istringstream entries(script), keys(requests);
  std::string entry, key;
  while (std::getline(entries, entry, '|') && (keys >> key || true)) {
    const int command = entry[0] == 'v' ? CUPS_SC_CMD_SNMP_GET : CUPS_SC_CMD_GET_DEVICE_ID;
    const std::string oid = key == "S" ? kStateOid : kLevelOid + key.substr(1);
    std::string data = entry.substr(2);
    if (entry[1] == ':' && command == CUPS_SC_CMD_SNMP_GET)
      data = oid + '\0' + data;
    channel.reply(command, entry[1] == '!' ? std::stoi(data) : 1, entry[1] == '!' ? "" : data);
  }
}

// keys, then the requests received since: L1..L4 (levels), S (state), D (device ID).
std::string asked(SideChannel &channel, std::string keys = "")
{
  for (const auto &[command, data] : channel.requests())
    keys += (keys.empty() ? "" : " ") +
            (command == CUPS_SC_CMD_GET_DEVICE_ID ? "D" : data == kStateOid ? "S" : "L" + data.substr(kLevelOid.size()));
  return keys;
}

const std::map<std::string, int> kCodes = {{"network", kNet}, {"usb", kUsb}, {"none", REPORT_DEVICE_NONE}, {"cmyk", kCmyk},
                                          {"mono", kMono}, {"unknown", REPORT_COLOR_UNKNOWN}};

TEST(ReportSettings, CycleTimeDeviceAndColour)
{
  for (const CaseRow &c : caseTable("supply.txt#settings", 6)) {
    deviceUri(c[2].empty() ? nullptr : c[2].c_str());
    TestJob job({.ppd = "supply-color.ppd + *AXSupplyLevelCycleTime socket: => *AXSupplyLevelCycleTime socket: \"" + c[0] +
                        "\" + *ColorDevice: => " + c[1]});
    EXPECT_EQ(std::tuple(GetThreadCycleTime(job.get()->ppd, kArgv), GetDeviceType(kArgv), GetColorType(job.get()->ppd)),
              std::tuple(std::stoi(c[3]), kCodes.at(c[4]), kCodes.at(c[5]))) << c.where;
  }
  EXPECT_EQ(std::tuple(GetThreadCycleTime(nullptr, kArgv), GetDeviceType(nullptr), GetColorType(nullptr)),
            std::tuple(3, REPORT_DEVICE_NONE, REPORT_COLOR_UNKNOWN));
}

TEST(ReportSettings, MarkingAndStatesFlagWhenNoThreadRuns)
{
  for (const CaseRow &c : caseTable("supply.txt#no thread", 4)) {
    deviceUri(c[0].empty() ? nullptr : c[0].c_str());
    current_cupsSNMPSupplies = static_cast<unsigned char>(std::stoi(c[2]));
    TestJob job({.ppd = c[1]});
    JobInfo *record = job.get();
    EXPECT_EQ(StartReportLevels(0, nullptr, kArgv, record->ppd), nullptr);  // no options: nothing marked
    record->numOptions = cupsParseOptions("PageSize=Letter", 0, &record->options);
    EXPECT_EQ(StartReportLevels(record->numOptions, record->options, nullptr, record->ppd), nullptr);
    EXPECT_EQ(ppdFindMarkedChoice(record->ppd, "PageSize"), nullptr);
    EXPECT_EQ(StartReportLevels(record->numOptions, record->options, kArgv, record->ppd), nullptr);
    EXPECT_STREQ(ppdFindMarkedChoice(record->ppd, "PageSize")->choice, "Letter");  // the defaults, then the job's
    EXPECT_STREQ(ppdFindMarkedChoice(record->ppd, "Duplex")->choice, "DuplexNoTumble");
    EXPECT_EQ(current_cupsSNMPSupplies, std::stoi(c[3])) << c.where;
  }
  SupplyInfo info = {};
  EXPECT_EQ(GetSupplyInfoFromPPD(TestJob({.ppd = "supply-mono.ppd"}).get()->ppd, kCmyk, &info), 0);
  EXPECT_EQ(GetSupplyInfoFromPPD(nullptr, kMono, &info), 0);
  static pthread_t thread;
  static sigset_t seen;
  ASSERT_TRUE(InitReportLevelsThread(&thread, [](void *place) { return pthread_sigmask(SIG_SETMASK, nullptr, &seen), place; }));
  void *place = nullptr;
  pthread_join(thread, &place);
  EXPECT_TRUE(place == &thread && sigismember(&seen, SIGTERM) && sigismember(&seen, SIGPIPE) && sigismember(&seen, SIGINT));
  EXPECT_FALSE(InitReportLevelsThread(nullptr, [](void *place) { return place; }));
}

TEST(ReportCycle, QueriesAndReportLines)
{
  for (const CaseRow &c : caseTable("supply.txt#cycle", 8)) {
    const int device = kCodes.at(c[1]), colour = kCodes.at(c[2]);
    SideChannel channel;
    dup2(channel.filterEnd(), CUPS_SC_FD);
    queue(channel, c[4], c[7]);
    current_cupsSNMPSupplies = static_cast<unsigned char>(std::stoi(c[3]));
    current_state = -1;
    TestJob job({.ppd = c[0]});  // the marker texts point into its PPD
    SupplyInfo info = {};
    GetSupplyInfoFromPPD(job.get()->ppd, colour, &info);
    std::string transcript;
    for (int cycle = 0; cycle < std::stoi(c[5]); ++cycle) {
      testing::internal::CaptureStderr();
      const int status = GetCurrentSupplyInfo(&info, device, colour);
      if (status == REPORT_STATUS_OK)
        SendSupplyInfo(&info, colour);
      transcript += "status " + std::to_string(status) + "\n" + testing::internal::GetCapturedStderr();
    }
    expectGolden("supply/" + c[6] + ".txt", transcript);
    EXPECT_EQ(asked(channel), c[7]) << c.where;
    close(CUPS_SC_FD);
  }
}

TEST(ReportThread, InTheFilterStoppedWhereverItWaits)
{
  const std::string job = pjlJob("Report", "alice", "", "%PDF-1.4 data");
  const std::string header = job.substr(0, job.size() - 13 - 18);  // SIGTERM: no trailer, no data short of a block
  const EditedPpd levelsOnly("supply-color.ppd", {{"*cupsSNMPSupplies:", ""}});  // a cycle a second
  const EditedPpd hourly("supply-color.ppd", {{"*cupsSNMPSupplies:", ""}, {"*AXSupplyLevelCycleTime socket:",
                                                                           "*AXSupplyLevelCycleTime socket: \"3600\""}});
  const EditedPpd noColour("supply-color.ppd", {{"*ColorDevice:", ""}});
  const std::string colour = fixture("ppd/supply-color.ppd"), transcript = readFile(fixture("golden/supply/snmp-colour.txt"));
  const std::string reported = transcript.substr(9, transcript.find("status", 9) - 9);  // the first cycle's lines
  // {PPD, device URI, replies, when to act once the data is read (E: the expected standard error is written, R: a
  // request waits, A: alone, no reporting thread), the action, exit status, standard output and error, requests}
  const std::tuple<std::string, const char *, const char *, char, int, int, std::string, std::string, const char *> cases[] = {
      {hourly.path(), kSocket, "v:80|v:60|v:40|v:20", 'E', kReleaseInput, 0, job, reported, "L1 L2 L3 L4"},
      {levelsOnly.path(), kSocket, "v!4|v:80|v:60|v:40|v:20", 'E', kReleaseInput, 0, job, kFailed + "4\n" + reported,
       "L1 L1 L2 L3 L4"},  // a failed cycle, retried
      // A request that timed out would write a "DEBUG:" line.
      {colour, kSocket, "", 'R', kReleaseInput, 0, job, "", "L1"}, {colour, kSocket, "", 'R', SIGTERM, 1, header, "", "L1"},
      {colour, kSocket, "v!7", 'E', kReleaseInput, 0, job, kFailed + "7\n", "L1"},  // ended by itself
      {colour, nullptr, "", 'A', kReleaseInput, 0, job, "", ""},
      {noColour.path(), kSocket, "", 'A', kReleaseInput, 0, job, "", ""}};
  for (const auto &[ppd, uri, replies, when, action, exitCode, out, err, requests] : cases) {
    SideChannel channel;
    queue(channel, replies, requests);
    std::string asking;
    const auto watch = [&, when = when, action = action, &expected = err](const Child &child) {
      asking = asked(channel, asking);
      const bool ready = when == 'E' ? child.err == expected : when == 'R' ? !asking.empty() : threadCount(child.pid) == 1;
      return child.inputDrained && inCall(child.pid, SYS_read, 0) && ready ? action : 0;
    };
    const Child r = run({.argv = {built("arvex-pdf-filter"), "42", "alice", "Report", "1", "PageSize=A4"},
                         .env = {"PPD=" + ppd, uri ? "DEVICE_URI="s + uri : "DEVICE_URI"}, .input = "%PDF-1.4 data",
                         .holdInput = true, .sideChannel = channel.filterEnd(), .timeLimit = std::chrono::seconds(20),
                         .watch = watch});
    EXPECT_EQ(std::tuple(r.exitCode, r.out, r.err, asking), std::tuple(exitCode, out, err, requests));
  }
}

}  // namespace
