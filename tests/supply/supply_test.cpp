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

// Queue the replies of a script, entries split by "|": "v:value" answers an SNMP request with the OID asked for (the
// key of requests at the same place: L1..L4, S), a NUL and the value; "v=data" with data alone; "d:text" a device-ID
// request; "v!S" and "d!S" them with the status S.
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

TEST(ReportSettings, CycleTimeDeviceAndColour)
{
  const std::string t = "*ColorDevice: True";
  // {the socket scheme's cycle time, ColorDevice, device URI, cycle time, device type, colour type}
  const std::tuple<std::string, std::string, const char *, int, int, int> cases[] = {
      {"0", t, kSocket, 0, kNet, kCmyk}, {"15", "*ColorDevice: true", kSocket, 15, kNet, kCmyk},
      {"10s", "*ColorDevice: False", kSocket, 3, kNet, kMono}, {" 10", "", kSocket, 3, kNet, REPORT_COLOR_UNKNOWN},
      {"-5", t, kSocket, 3, kNet, kCmyk}, {"", t, kSocket, 3, kNet, kCmyk}, {"99999999999", t, kSocket, INT_MAX, kNet, kCmyk},
      {"15", t, "usb://Arvex/C4500?serial=A1", 1, kUsb, kCmyk}, {"15", t, "USB://Arvex/C4500", 1, kUsb, kCmyk},
      {"15", t, "usb:/Arvex", 1, kNet, kCmyk}, {"15", t, "ipp://printer/ipp/print", 3, kNet, kCmyk},
      {"15", t, nullptr, 3, REPORT_DEVICE_NONE, kCmyk}};
  for (const auto &[cycle, colourDevice, uri, seconds, device, colour] : cases) {
    deviceUri(uri);
    EditedPpd ppd("supply-color.ppd", {{"*AXSupplyLevelCycleTime socket:", "*AXSupplyLevelCycleTime socket: \"" + cycle + "\""},
                                       {"*ColorDevice:", colourDevice}});
    TestJob job({.ppd = ppd.path()});
    EXPECT_EQ(std::tuple(GetThreadCycleTime(job.get()->ppd, kArgv), GetDeviceType(kArgv), GetColorType(job.get()->ppd)),
              std::tuple(seconds, device, colour)) << cycle << " " << uri;
  }
  EXPECT_EQ(std::tuple(GetThreadCycleTime(nullptr, kArgv), GetDeviceType(nullptr), GetColorType(nullptr)),
            std::tuple(3, REPORT_DEVICE_NONE, REPORT_COLOR_UNKNOWN));
}

TEST(ReportSettings, MarkingAndStatesFlagWhenNoThreadRuns)
{
  const std::string supplies = "*cupsSNMPSupplies:";
  // {device URI, PPD edits, current_cupsSNMPSupplies before and after}
  const std::tuple<const char *, PpdEdits, int, int> cases[] = {
      {nullptr, {{supplies, supplies + " False"}}, 0, 1}, {kSocket, {{"*ColorDevice:", ""}, {supplies, supplies + " No"}}, 0, 1},
      {kSocket, {{"*cupsMarkerName 3/", ""}, {supplies, supplies + " True"}}, 1, 0},
      {kSocket, {{"*AXMarkerTypes:", ""}, {supplies, supplies + " true"}}, 1, 0},
      {kSocket, {{"*AXSupplyLevelCycleTime socket:", "*AXSupplyLevelCycleTime socket: \"0\""}, {supplies, ""}}, 1, 1},
      {nullptr, {{supplies, ""}}, 0, 0}};
  for (const auto &[uri, edits, before, after] : cases) {
    deviceUri(uri);
    current_cupsSNMPSupplies = static_cast<unsigned char>(before);
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
    EXPECT_EQ(current_cupsSNMPSupplies, after) << uri << " " << before;
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
  const std::string id = "d:MFG:Arvex;DES:" + std::string(991, 'D') + ";RTN:x/77,66,55,44";  // 1023 bytes
  const auto fives = [](const std::string &state) { return "v:5|v:5|v:5|v:5|v:" + state + "|"; };
  // {PPD, device, colour, current_cupsSNMPSupplies, replies, cycles, golden (each cycle's status and standard
  // error), requests}
  const std::tuple<const char *, int, int, int, std::string, int, const char *, const char *> cases[] = {
      {"supply-color.ppd", kNet, kCmyk, 0, "v:80|v:60|v:40|v:20|v:-100|v:-1|v:-2|v:-3", 2, "snmp-colour",
       "L1 L2 L3 L4 L1 L2 L3 L4"},
      {"supply-mono.ppd", kNet, kMono, 0, "v:-100|v:35", 2, "snmp-mono", "L1 L1"},
      {"supply-color.ppd", kNet, kCmyk, 0, "v:70|v!4|v:70|v:50|v:30|v:10", 2, "snmp-retry", "L1 L2 L1 L2 L3 L4"},
      {"supply-color.ppd", kNet, kCmyk, 1, "v!7", 1, "snmp-not-implemented", "L1"},
      {"supply-color.ppd", kNet, kCmyk, 1,
       fives("\x20\0"s) + fives("\x20\0"s) + fives("\0\0"s) + fives("\x80") + fives("\0\x84"s) + fives("\x40\x04") +
           fives("\x20\0\0"s),
       7, "snmp-states", "L1 L2 L3 L4 S L1 L2 L3 L4 S L1 L2 L3 L4 S L1 L2 L3 L4 S L1 L2 L3 L4 S L1 L2 L3 L4 S L1 L2 L3 L4 S"},
      {"supply-mono.ppd", kNet, kMono, 1, "v:5|v!5|v:5|v:\x10", 2, "snmp-state-failed", "L1 S L1 S"},
      {"supply-mono.ppd", kNet, kMono, 0, "v=" + kLevelOid + "1|v=|v=.1.3.6\0\x23"s + "|v:35", 4, "snmp-malformed",
       "L1 L1 L1 L1"},  // no NUL after the OID, no data, another OID
      {"supply-color.ppd", kUsb, kCmyk, 1, "d:MFG:Arvex;CMD:PJL;RTN:x/80,60,40,20;|d:RTN:x/55,44;CMD:PJL;", 2, "usb-colour",
       "D D"},
      {"supply-mono.ppd", kUsb, kMono, 0, "d:MFG:Arvex;RTN:x/55;MDL:M4500;", 1, "usb-mono", "D"},
      {"supply-color.ppd", kUsb, kCmyk, 0,
       "d:MFG:Arvex;MDL:C4500;|d:MFG:Arvex;RTN:80,60,40,20;|d:MFG:Arvex;RTN:|d:RTN:x/toner,60;|" + id + "|" + id + "9|d!4", 7,
       "usb-malformed", "D D D D D D D"},
      {"supply-color.ppd", REPORT_DEVICE_NONE, kCmyk, 0, "", 1, "no-device", ""},
      {"supply-color.ppd", kNet, REPORT_COLOR_UNKNOWN, 0, "v:5", 1, "unknown-colour", "L1"}};
  for (const auto &[ppd, device, colour, states, replies, cycles, golden, requests] : cases) {
    SideChannel channel;
    dup2(channel.filterEnd(), CUPS_SC_FD);
    queue(channel, replies, requests);
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
