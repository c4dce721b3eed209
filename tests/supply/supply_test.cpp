// Supply levels and printer states: what decides whether the reporting
// thread runs, one query cycle against replies queued on the side channel,
// and the thread in the filter, stopped wherever it waits.

#include <cups/sidechannel.h>

#include "arvex/test.h"
#include "reporting.h"

#include <climits>
#include <csignal>
#include <tuple>

namespace {

using namespace arvex::test;

const std::string kLevelOid = ".1.3.6.1.4.1.32473.3.2.1.2.24.1.1.5.", kStateOid = ".1.3.6.1.2.1.25.3.5.1.2.1";
const std::string kFailed = "DEBUG: Get Supply-Info request failed with status: ";
const char *const kSocket = "socket://printer.example.com:9100";
char *kArgv[] = {const_cast<char *>("arvex-pdf-filter"), nullptr};  // argv[0] names no device
enum { kNet = REPORT_DEVICE_NETWORK, kUsb = REPORT_DEVICE_USB, kCmyk = REPORT_COLOR_CMYK, kMono = REPORT_COLOR_MONO };

void deviceUri(const char *uri)
{
  uri ? setenv("DEVICE_URI", uri, 1) : unsetenv("DEVICE_URI");
}

// keys, then the requests received since, as L1..L4 (levels), S (state) and D (device ID).
std::string asked(SideChannel &channel, std::string keys = "")
{
  for (const auto &[command, data] : channel.requests())
    keys += std::string(keys.empty() ? "" : " ") +
            (command == CUPS_SC_CMD_GET_DEVICE_ID ? "D" : data == kStateOid ? "S" : "L" + data.substr(kLevelOid.size()));
  return keys;
}

// Replies {command, status, data}: SNMP values (libcups skips the identifier
// they begin with) or device IDs.
using Replies = std::vector<std::tuple<int, int, std::string>>;
Replies snmp(std::vector<std::string> values, int status = CUPS_SC_STATUS_OK)
{
  Replies replies;
  for (const auto &value : values)
    replies.emplace_back(CUPS_SC_CMD_SNMP_GET, status, status == CUPS_SC_STATUS_OK ? '\0' + value : "");
  return replies;
}
Replies operator+(Replies a, const Replies &b)
{
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
SideChannel &operator<<(SideChannel &channel, const Replies &replies)
{
  for (const auto &[command, status, data] : replies)
    channel.reply(command, status, data);
  return channel;
}

TEST(ReportSettings, CycleTimeDeviceAndColour)
{
  deviceUri(kSocket);
  const std::pair<std::string, int> cycles[] = {{"0", 0}, {"15", 15}, {"10s", 3}, {" 10", 3}, {"-5", 3}, {"", 3},
                                                {"+7", 3}, {"99999999999", INT_MAX}};
  for (const auto &[value, seconds] : cycles) {
    EditedPpd ppd("supply-color.ppd", {{"*AXSupplyLevelCycleTime socket:", "*AXSupplyLevelCycleTime socket: \"" + value + "\""}});
    EXPECT_EQ(GetThreadCycleTime(TestJob({.ppd = ppd.path()}).get()->ppd, kArgv), seconds) << value;
  }
  EditedPpd usbOnly("supply-color.ppd", {{"*AXSupplyLevelCycleTime socket:", ""},
                                         {"*AXSupplyLevelCycleTime usb:", "*AXSupplyLevelCycleTime usb: \"20\""}});
  TestJob job({.ppd = usbOnly.path()});
  const std::tuple<const char *, int, int> uris[] = {{kSocket, 3, kNet}, {"usb://Arvex/Office%20C4500?serial=A1", 20, kUsb}, {"USB://Arvex/C4500", 20, kUsb},
              {"usb:/Arvex", 20, kNet}, {"ipp://printer/ipp/print", 3, kNet}, {nullptr, 3, REPORT_DEVICE_NONE}};
  for (const auto &[uri, cycle, device] : uris) {
    deviceUri(uri);
    EXPECT_EQ(GetThreadCycleTime(job.get()->ppd, kArgv), cycle) << uri;
    EXPECT_EQ(GetDeviceType(kArgv), device) << uri;
  }
  EXPECT_EQ(GetThreadCycleTime(nullptr, kArgv), 3);
  EXPECT_EQ(GetDeviceType(nullptr), REPORT_DEVICE_NONE);
  const std::pair<std::string, int> colours[] = {{"*ColorDevice: True", kCmyk}, {"*ColorDevice: true", kCmyk},
                                                 {"*ColorDevice: False", kMono}, {"", REPORT_COLOR_UNKNOWN}};
  for (const auto &[line, type] : colours) {
    EditedPpd ppd("supply-color.ppd", {{"*ColorDevice:", line}});
    EXPECT_EQ(GetColorType(TestJob({.ppd = ppd.path()}).get()->ppd), type) << line;
  }
  EXPECT_EQ(GetColorType(nullptr), REPORT_COLOR_UNKNOWN);
}

TEST(ReportSettings, MarkingAndStatesFlagWithoutAThread)
{
  const std::pair<const char *, PpdEdits> cases[] = {
      {nullptr, {}}, {kSocket, {{"*ColorDevice:", ""}}}, {kSocket, {{"*cupsMarkerName 3/", ""}}},
      {kSocket, {{"*AXMarkerTypes:", ""}}}, {kSocket, {{"*AXSupplyLevelCycleTime socket:", "*AXSupplyLevelCycleTime socket: \"0\""}}}};
  for (const auto &[uri, edits] : cases) {
    deviceUri(uri);
    EditedPpd ppd("supply-color.ppd", edits);
    TestJob job({.ppd = ppd.path()});
    JobInfo *record = job.get();
    EXPECT_EQ(StartReportLevels(0, nullptr, kArgv, record->ppd), nullptr);  // no options: nothing marked
    record->numOptions = cupsParseOptions("PageSize=Letter", 0, &record->options);
    EXPECT_EQ(StartReportLevels(record->numOptions, record->options, nullptr, record->ppd), nullptr);
    EXPECT_EQ(ppdFindMarkedChoice(record->ppd, "PageSize"), nullptr);
    EXPECT_EQ(StartReportLevels(record->numOptions, record->options, kArgv, record->ppd), nullptr);
    EXPECT_STREQ(ppdFindMarkedChoice(record->ppd, "PageSize")->choice, "Letter");  // the defaults, then the job's
    EXPECT_STREQ(ppdFindMarkedChoice(record->ppd, "Duplex")->choice, "DuplexNoTumble");
  }
  deviceUri(nullptr);
  const std::tuple<std::string, unsigned char, unsigned char> flags[] = {{"*cupsSNMPSupplies: False", 0, 1}, {"*cupsSNMPSupplies: No", 0, 1}, {"*cupsSNMPSupplies: True", 1, 0},
               {"*cupsSNMPSupplies: true", 1, 0}, {"", 1, 1}, {"", 0, 0}};
  for (const auto &[line, before, after] : flags) {
    current_cupsSNMPSupplies = before;
    EditedPpd ppd("supply-color.ppd", {{"*cupsSNMPSupplies:", line}});
    TestJob job({.ppd = ppd.path(), .options = "x=1"});
    StartReportLevels(job.get()->numOptions, job.get()->options, kArgv, job.get()->ppd);
    EXPECT_EQ(current_cupsSNMPSupplies, after) << line << " after " << int(before);
  }
  SupplyInfo info = {};
  EXPECT_EQ(GetSupplyInfoFromPPD(TestJob({.ppd = "supply-mono.ppd"}).get()->ppd, kCmyk, &info), 0);
  EXPECT_EQ(GetSupplyInfoFromPPD(nullptr, kMono, &info), 0);
}

TEST(ReportSettings, ThreadStartsWithEverySignalBlocked)
{
  static pthread_t thread;
  static sigset_t seen;
  ASSERT_TRUE(InitReportLevelsThread(&thread, [](void *place) { return pthread_sigmask(SIG_SETMASK, nullptr, &seen), place; }));
  void *place = nullptr;
  pthread_join(thread, &place);
  EXPECT_EQ(place, &thread);
  EXPECT_TRUE(sigismember(&seen, SIGTERM) && sigismember(&seen, SIGPIPE) && sigismember(&seen, SIGINT));
  EXPECT_FALSE(InitReportLevelsThread(nullptr, [](void *place) { return place; }));
}

TEST(ReportCycle, QueriesAndReportLines)
{
  const std::string full = "MFG:Arvex;DES:" + std::string(991, 'D') + ";RTN:x/77,66,55,44";  // 1023 bytes
  const Replies fives = snmp({"5", "5", "5", "5"});
  const auto id = [](std::vector<std::string> ids) {
    Replies replies;
    for (const auto &text : ids)
      replies.emplace_back(CUPS_SC_CMD_GET_DEVICE_ID, text.empty() ? 4 : 1, text);
    return replies;
  };
  // {PPD, device, colour, current_cupsSNMPSupplies, replies, cycles, golden (each cycle's status and standard
  // error), the requests}
  const std::tuple<const char *, int, int, int, Replies, int, const char *, const char *> cases[] = {
      {"supply-color.ppd", kNet, kCmyk, 0, snmp({"80", "60", "40", "20", "-100", "-1", "-2", "-3"}), 2, "snmp-colour",
       "L1 L2 L3 L4 L1 L2 L3 L4"},
      {"supply-mono.ppd", kNet, kMono, 0, snmp({"-100", "35"}), 2, "snmp-mono", "L1 L1"},
      {"supply-color.ppd", kNet, kCmyk, 0, snmp({"70"}) + snmp({""}, 4) + snmp({"70", "50", "30", "10"}), 2, "snmp-retry",
       "L1 L2 L1 L2 L3 L4"},
      {"supply-color.ppd", kNet, kCmyk, 1, snmp({""}, 7), 1, "snmp-not-implemented", "L1"},
      {"supply-color.ppd", kNet, kCmyk, 1,
       fives + snmp({std::string("\x20\x00", 2)}) + fives + snmp({std::string("\x20\x00", 2)}) + fives +
           snmp({std::string("\x00\x00", 2)}) + fives + snmp({"\x80"}) + fives + snmp({std::string("\x00\x84", 2)}) +
           fives + snmp({"\x40\x04"}) + fives + snmp({std::string("\x20\x00\x00", 3)}),
       7, "snmp-states", "L1 L2 L3 L4 S L1 L2 L3 L4 S L1 L2 L3 L4 S L1 L2 L3 L4 S L1 L2 L3 L4 S L1 L2 L3 L4 S L1 L2 L3 L4 S"},
      {"supply-mono.ppd", kNet, kMono, 1, snmp({"5"}) + snmp({""}, 5) + snmp({"5", "\x10"}), 2, "snmp-state-failed",
       "L1 S L1 S"},
      {"supply-color.ppd", kUsb, kCmyk, 1, id({"MFG:Arvex;CMD:PJL;RTN:x/80,60,40,20;", "RTN:x/55,44;CMD:PJL;"}), 2,
       "usb-colour", "D D"},
      {"supply-mono.ppd", kUsb, kMono, 0, id({"MFG:Arvex;RTN:x/55;MDL:M4500;"}), 1, "usb-mono", "D"},
      {"supply-color.ppd", kUsb, kCmyk, 0,
       id({"MFG:Arvex;MDL:C4500;", "MFG:Arvex;RTN:80,60,40,20;", "MFG:Arvex;RTN:", "RTN:x/toner,60;", full, full + "9", ""}),
       7, "usb-malformed", "D D D D D D D"},
      {"supply-color.ppd", REPORT_DEVICE_NONE, kCmyk, 0, {}, 1, "no-device", ""},
      {"supply-color.ppd", kNet, REPORT_COLOR_UNKNOWN, 0, snmp({"5"}), 1, "unknown-colour", "L1"},
  };
  for (const auto &[ppd, device, colour, states, replies, cycles, golden, requests] : cases) {
    SideChannel channel;
    dup2(channel.filterEnd(), CUPS_SC_FD);
    channel << replies;
    current_cupsSNMPSupplies = static_cast<unsigned char>(states);
    current_state = -1;
    TestJob job({.ppd = ppd});  // the marker texts point into its PPD
    SupplyInfo info = {};
    GetSupplyInfoFromPPD(job.get()->ppd, colour, &info);
    std::string transcript;
    for (int cycle = 0; cycle < cycles; ++cycle) {
      testing::internal::CaptureStderr();
      const int status = GetCurrentSupplyInfo(&info, device, colour);
      if (status == REPORT_STATUS_OK)
        SendSupplyInfo(&info, colour);
      transcript += "status " + std::to_string(status) + "\n" + testing::internal::GetCapturedStderr();
    }
    expectGolden(std::string("supply/") + golden + ".txt", transcript);
    EXPECT_EQ(asked(channel), requests);
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
  // {PPD, device URI, replies, when to act once the data is read (L: levels reported, R: a request waits, A: no
  // reporting thread), the action, exit status, standard output and error, the requests}
  const std::tuple<std::string, const char *, Replies, char, int, int, std::string, std::string, const char *> cases[] = {
      {hourly.path(), kSocket, snmp({"80", "60", "40", "20"}), 'L', kReleaseInput, 0, job, reported, "L1 L2 L3 L4"},
      {levelsOnly.path(), kSocket, snmp({""}, 4) + snmp({"80", "60", "40", "20"}), 'L', kReleaseInput, 0, job,
       kFailed + "4\n" + reported, "L1 L1 L2 L3 L4"},  // a failed cycle, retried
      // A request that timed out would write a "DEBUG:" line.
      {colour, kSocket, {}, 'R', kReleaseInput, 0, job, "", "L1"}, {colour, kSocket, {}, 'R', SIGTERM, 1, header, "", "L1"},
      {colour, kSocket, snmp({""}, 7), 'A', kReleaseInput, 0, job, kFailed + "7\n", "L1"},  // ended by itself
      {colour, nullptr, {}, 'A', kReleaseInput, 0, job, "", ""}, {noColour.path(), kSocket, {}, 'A', kReleaseInput, 0, job, "", ""},
  };
  for (const auto &[ppd, uri, replies, when, action, exitCode, out, err, requests] : cases) {
    SideChannel channel;
    channel << replies;
    std::string asking;
    const Child r = run({.argv = {built("arvex-pdf-filter"), "42", "alice", "Report", "1", "PageSize=A4"},
                         .env = {"PPD=" + ppd, uri ? "DEVICE_URI=" + std::string(uri) : "DEVICE_URI"},
                         .input = "%PDF-1.4 data", .holdInput = true, .sideChannel = channel.filterEnd(),
                         .timeLimit = std::chrono::seconds(20), .watch = [&](const Child &child) {
                           asking = asked(channel, asking);
                           const bool ready = when == 'L'   ? child.err.find("levels") != std::string::npos
                                              : when == 'R' ? !asking.empty()
                                                            : threadCount(child.pid) == 1;
                           return child.inputDrained && readingInput(child.pid) && ready ? action : 0;
                         }});
    EXPECT_FALSE(r.timedOut) << requests;
    EXPECT_EQ(r.exitCode, exitCode);
    EXPECT_EQ(r.out, out);
    EXPECT_EQ(r.err, err);
    EXPECT_EQ(asking, requests);
  }
}

}  // namespace
