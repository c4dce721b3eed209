// The reporting thread in the real filter, talking to a scripted backend on
// descriptor 4: the "ATTR:" and "STATE:" lines, the failure statuses, the
// USB device ID, and stopping the thread wherever it waits.
//
// Each job's data is held open by the test (HeldInput) until the report
// lines the case is about have appeared, so the number of query cycles a
// case sees doesn't depend on how fast the machine is. The PPDs ask for a
// cycle every second.

#include <gtest/gtest.h>

#include <cups/sidechannel.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "FakeBackend.h"
#include "HeldInput.h"
#include "JobFrame.h"
#include "Process.h"
#include "SupplyPpd.h"

namespace {

using arvex::test::kUel;
using namespace std::chrono_literals;
using arvex::test::FakeBackend;
using arvex::test::HeldInput;
using arvex::test::PpdEdit;
using arvex::test::ProcessOptions;
using arvex::test::ProcessResult;
using arvex::test::SideChannelAnswer;
using arvex::test::SideChannelRequest;
using arvex::test::TempFile;

const std::string kLevelOid = ".1.3.6.1.4.1.32473.3.2.1.2.24.1.1.5";
const std::string kStateOid = ".1.3.6.1.2.1.25.3.5.1.2.1";
const std::string kNetworkUri = "socket://printer.example.com:9100";
const std::string kUsbUri = "usb://Arvex/Office%20C4500?serial=A1";

const std::string kTitle = "Quarterly report";
const std::string kUser = "alice";

std::string jobData()
{
  return arvex::test::readFile(arvex::test::fixturePath("sample.pdf"));
}

std::string jobHead()
{
  return kUel + "@PJL JOB NAME=\"" + kTitle + "\"\n@PJL SET USERNAME=\"" + kUser + "\"\n" +
         "@PJL ENTER LANGUAGE = PDF\n" + jobData();
}

std::string wholeJob()
{
  return jobHead() + kUel + "@PJL EOJ\n";
}

// The four marker lines of the colour and monochrome fixtures.
std::string colorLines(const std::string &levels)
{
  return "ATTR: marker-colors=#00FFFF,#FF00FF,#FFFF00,#000000\n"
         "ATTR: marker-names=\"Cyan Toner\",\"Magenta Toner\",\"Yellow Toner\",\"Black Toner\"\n"
         "ATTR: marker-types=toner,toner,toner,toner\n"
         "ATTR: marker-levels=" +
         levels + "\n";
}

std::string monoLines(const std::string &level)
{
  return "ATTR: marker-colors=#000000\n"
         "ATTR: marker-names=\"Black Toner\"\n"
         "ATTR: marker-types=toner\n"
         "ATTR: marker-levels=" +
         level + "\n";
}

// The printer-state reasons in the order the filter reports them.
const char *const kReasons[] = {
    "media-low-report",           "media-empty-warning",           "toner-low-report",
    "toner-empty-warning",        "door-open-report",              "media-jam-warning",
    "input-tray-missing-warning", "output-tray-missing-warning",   "marker-supply-missing-warning",
    "output-area-almost-full-report", "output-area-full-warning",
};

// The first state report: every reason, "+" for those present.
std::string allStates(const std::vector<std::string> &present)
{
  std::string lines;
  for (const char *reason : kReasons) {
    const bool on = std::find(present.begin(), present.end(), reason) != present.end();
    lines += std::string("STATE: ") + (on ? "+" : "-") + reason + "\n";
  }
  return lines;
}

size_t count(const std::string &text, const std::string &what)
{
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
    ++n;
  return n;
}

// Ends the job's data once the given line has appeared n times.
std::function<bool(const ProcessResult &)> after(size_t n, const std::string &line = "ATTR: marker-levels=")
{
  return [n, line](const ProcessResult &r) { return count(r.err, line) >= n; };
}

// The lines of the cycles a case waited for, followed by nothing but
// repetitions of the last cycle's marker lines (a slow machine may let one
// more cycle through before the job ends).
void expectReport(const std::string &err, const std::string &expected)
{
  ASSERT_EQ(err.substr(0, expected.size()), expected) << "whole report:\n" << err;
  std::string rest = err.substr(expected.size());
  const size_t lastGroup = expected.rfind("ATTR: marker-colors=");
  const std::string group = lastGroup == std::string::npos ? "" : expected.substr(lastGroup);
  while (!group.empty() && rest.compare(0, group.size(), group) == 0)
    rest.erase(0, group.size());
  EXPECT_EQ(rest, "") << "whole report:\n" << err;
}

// Script pieces: the value of level k in a cycle, and the state octets.
using Levels = std::vector<std::vector<int>>;

template <typename T> const T &forCycle(const std::vector<T> &values, int cycle)
{
  return values[std::min<size_t>(static_cast<size_t>(cycle), values.size() - 1)];
}

// An SNMP printer: the levels per cycle, the state octets per cycle; other
// identifiers are missing (status OK, empty value).
arvex::test::SideChannelScript snmpPrinter(Levels levels, std::vector<std::string> states = {""})
{
  return [levels, states](const SideChannelRequest &request, int cycle) {
    if (request.command != CUPS_SC_CMD_SNMP_GET)
      return SideChannelAnswer::failure(CUPS_SC_STATUS_NOT_IMPLEMENTED);
    if (request.data == kStateOid)
      return SideChannelAnswer::octets(forCycle(states, cycle));
    for (size_t k = 1; k <= 4; ++k) {
      if (request.data == kLevelOid + "." + std::to_string(k))
        return SideChannelAnswer::integer(forCycle(levels, cycle).at(k - 1));
    }
    return SideChannelAnswer::octets("");
  };
}

// A USB printer answering with a device ID per cycle.
arvex::test::SideChannelScript usbPrinter(std::vector<std::string> deviceIds)
{
  return [deviceIds](const SideChannelRequest &request, int cycle) {
    if (request.command != CUPS_SC_CMD_GET_DEVICE_ID)
      return SideChannelAnswer::failure(CUPS_SC_STATUS_NOT_IMPLEMENTED);
    return SideChannelAnswer::text(forCycle(deviceIds, cycle));
  };
}

struct Job {
  std::string ppd;        // PPD text
  std::string deviceUri;  // empty: no DEVICE_URI
};

ProcessOptions filterOptions(const TempFile &ppd, const std::string &uri, FakeBackend &backend,
                             const HeldInput &input)
{
  ProcessOptions options;
  options.argv = {arvex::test::buildPath("arvex-pdf-filter"), "42", kUser, kTitle, "1", "PageSize=A4",
                  input.path()};
  options.env = arvex::test::environmentWith({"PPD=" + ppd.path(), uri.empty() ? "DEVICE_URI" : "DEVICE_URI=" + uri});
  options.extraFds = {{backend.filterEnd(), CUPS_SC_FD}};
  options.timeLimit = 30s;
  return options;
}

// Run the filter until the job's data is released by endWhen (judged on
// the output so far).
ProcessResult runJob(const Job &job, FakeBackend &backend, std::function<bool(const ProcessResult &)> endWhen)
{
  TempFile ppd(job.ppd);
  HeldInput input(jobData());
  ProcessOptions options = filterOptions(ppd, job.deviceUri, backend, input);
  options.onOutput = [&](const ProcessResult &r) {
    if (!input.released() && endWhen(r))
      input.release();
    return 0;
  };
  return arvex::test::runProcess(options);
}

std::vector<std::string> requested(const FakeBackend &backend)
{
  std::vector<std::string> oids;
  for (const auto &r : backend.requests())
    oids.push_back(r.command == CUPS_SC_CMD_SNMP_GET ? r.data : "#" + std::to_string(r.command));
  return oids;
}

std::string colorPpd(const std::vector<PpdEdit> &edits = {})
{
  return arvex::test::ppdVariant("supply-color.ppd", edits);
}

std::string monoPpd(const std::vector<PpdEdit> &edits = {})
{
  return arvex::test::ppdVariant("supply-mono.ppd", edits);
}

const PpdEdit kNoSnmpSupplies = {"*cupsSNMPSupplies:", ""};
const PpdEdit kSnmpSuppliesTrue = {"*cupsSNMPSupplies:", "*cupsSNMPSupplies: True"};

// --- marker levels over SNMP ---

TEST(SnmpLevels, ColourLevelsByIndexAfterTheMarkerTexts)
{
  FakeBackend backend(snmpPrinter({{80, 60, 40, 20}, {-100, -1, -2, -3}}));
  const ProcessResult r = runJob({colorPpd({kNoSnmpSupplies}), kNetworkUri}, backend, after(2));

  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, wholeJob());
  // -100 (some left, amount unknown) is reported as 10; other negative
  // values pass as they are.
  expectReport(r.err, colorLines("80,60,40,20") + colorLines("10,-1,-2,-3"));
  const auto oids = requested(backend);
  ASSERT_GE(oids.size(), 8u);
  for (size_t i = 0; i < 8; ++i)
    EXPECT_EQ(oids[i], kLevelOid + "." + std::to_string(i % 4 + 1));
  // Without "cupsSNMPSupplies" the backend reports printer states itself.
  EXPECT_EQ(std::count(oids.begin(), oids.end(), kStateOid), 0);
}

TEST(SnmpLevels, MonochromeAsksOnlyForTheFirstMarker)
{
  FakeBackend backend(snmpPrinter({{-100, 99, 99, 99}, {35, 99, 99, 99}}, {std::string("\x20\x00", 2)}));
  const ProcessResult r = runJob({monoPpd({kSnmpSuppliesTrue}), kNetworkUri}, backend, after(2));

  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, wholeJob());
  // "cupsSNMPSupplies" True: levels, but never a state line.
  expectReport(r.err, monoLines("10") + monoLines("35"));
  for (const auto &oid : requested(backend))
    EXPECT_EQ(oid, kLevelOid + ".1");
}

TEST(SnmpLevels, FailedLevelRequestSkipsTheCycleAndIsRetried)
{
  FakeBackend backend([](const SideChannelRequest &request, int cycle) {
    if (cycle == 0 && request.data == kLevelOid + ".2")
      return SideChannelAnswer::failure(CUPS_SC_STATUS_NO_RESPONSE);
    return snmpPrinter({{70, 50, 30, 10}})(request, cycle);
  });
  const ProcessResult r = runJob({colorPpd({kNoSnmpSupplies}), kNetworkUri}, backend, after(1));

  EXPECT_EQ(r.exitCode, 0);
  expectReport(r.err, "DEBUG: Get Supply-Info request failed with status: 4\n" + colorLines("70,50,30,10"));
  const auto oids = requested(backend);
  ASSERT_GE(oids.size(), 6u);
  EXPECT_EQ(std::vector<std::string>(oids.begin(), oids.begin() + 3),
            (std::vector<std::string>{kLevelOid + ".1", kLevelOid + ".2", kLevelOid + ".1"}));
}

TEST(SnmpLevels, NotImplementedEndsTheThreadButNotTheJob)
{
  FakeBackend backend([](const SideChannelRequest &, int) {
    return SideChannelAnswer::failure(CUPS_SC_STATUS_NOT_IMPLEMENTED);
  });
  // Give the thread two more cycles' time in which it must stay quiet.
  const ProcessResult r = runJob({colorPpd(), kNetworkUri}, backend, [](const ProcessResult &out) {
    if (count(out.err, "DEBUG:") == 0)
      return false;
    std::this_thread::sleep_for(2500ms);
    return true;
  });

  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, wholeJob());
  EXPECT_EQ(r.err, "DEBUG: Get Supply-Info request failed with status: 7\n");
  EXPECT_EQ(requested(backend), std::vector<std::string>{kLevelOid + ".1"});
}

// --- printer states ---

TEST(PrinterStates, FirstReadingWritesEveryReasonThenOnlyChanges)
{
  const std::string lowToner("\x20\x00", 2), clear("\x00\x00", 2);
  FakeBackend backend(snmpPrinter({{50, 50, 50, 50}}, {lowToner, lowToner, clear}));
  const ProcessResult r = runJob({colorPpd(), kNetworkUri}, backend, after(3));

  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, wholeJob());
  const std::string levels = colorLines("50,50,50,50");
  expectReport(r.err, allStates({"toner-low-report"}) + levels +  // first reading
                          levels +                                // unchanged
                          "STATE: -toner-low-report\n" + levels);
  const auto oids = requested(backend);
  ASSERT_GE(oids.size(), 5u);
  EXPECT_EQ(oids[4], kStateOid);  // after the four levels
}

TEST(PrinterStates, OctetsMakeTheHighThenTheLowByte)
{
  FakeBackend backend(snmpPrinter({{50, 50, 50, 50}}, {
                                                         std::string("\x80", 1),          // lowPaper
                                                         std::string("\x00\x84", 2),      // inputTrayMissing, inputTrayEmpty
                                                         std::string("\x40\x04", 2),      // noPaper, inputTrayEmpty
                                                         std::string("\x20\x00\x00", 3),  // three octets: nothing
                                                     }));
  const ProcessResult r = runJob({colorPpd(), kNetworkUri}, backend, after(4));

  EXPECT_EQ(r.exitCode, 0);
  const std::string levels = colorLines("50,50,50,50");
  // media-empty-warning covers two conditions: it is written when either
  // changes and carries "+" while either holds.
  expectReport(r.err, allStates({"media-low-report"}) + levels +
                          "STATE: -media-low-report\n"
                          "STATE: +media-empty-warning\n"
                          "STATE: +input-tray-missing-warning\n" +
                          levels +
                          "STATE: +media-empty-warning\n"
                          "STATE: -input-tray-missing-warning\n" +
                          levels +
                          "STATE: -media-empty-warning\n" +
                          levels);
}

TEST(PrinterStates, FailedStateRequestSendsNothingThatCycle)
{
  FakeBackend backend([](const SideChannelRequest &request, int cycle) {
    if (cycle == 0 && request.data == kStateOid)
      return SideChannelAnswer::failure(CUPS_SC_STATUS_IO_ERROR);
    return snmpPrinter({{50, 50, 50, 50}}, {std::string("\x10\x00", 2)})(request, cycle);
  });
  const ProcessResult r = runJob({colorPpd(), kNetworkUri}, backend, after(1));

  EXPECT_EQ(r.exitCode, 0);
  // No message for the failed state request, and the first successful
  // reading still counts as the first.
  expectReport(r.err, allStates({"toner-empty-warning"}) + colorLines("50,50,50,50"));
  const auto oids = requested(backend);
  ASSERT_GE(oids.size(), 10u);
  EXPECT_EQ(oids[4], kStateOid);
  EXPECT_EQ(oids[9], kStateOid);
}

// --- marker levels from the USB device ID ---

TEST(UsbLevels, FourNumbersThenTwoKeepTheLastTwo)
{
  FakeBackend backend(usbPrinter({"MFG:Arvex;MDL:Office C4500;CMD:PJL,PDF;RTN:x/80,60,40,20;",
                                  "MFG:Arvex;MDL:Office C4500;RTN:x/55,44;CMD:PJL,PDF;"}));
  const ProcessResult r = runJob({colorPpd(), kUsbUri}, backend, after(2));

  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, wholeJob());
  expectReport(r.err, colorLines("80,60,40,20") + colorLines("55,44,40,20"));
  for (const auto &request : backend.requests()) {
    EXPECT_EQ(request.command, CUPS_SC_CMD_GET_DEVICE_ID);
    EXPECT_EQ(request.data, "");
  }
}

TEST(UsbLevels, MonochromeReadsOneNumber)
{
  FakeBackend backend(usbPrinter({"MFG:Arvex;RTN:x/55;MDL:Office M4500;"}));
  const ProcessResult r = runJob({monoPpd(), kUsbUri}, backend, after(1));

  EXPECT_EQ(r.exitCode, 0);
  expectReport(r.err, monoLines("55"));
}

TEST(UsbLevels, MalformedDeviceIdsAreSurvived)
{
  FakeBackend backend(usbPrinter({
      "MFG:Arvex;MDL:Office C4500;",    // no "RTN:" field
      "MFG:Arvex;RTN:80,60,40,20;",     // no "/"
      "MFG:Arvex;RTN:",                 // empty field
      "MFG:Arvex;RTN:x/toner,60;",      // not a number: nothing read
  }));
  const ProcessResult r = runJob({colorPpd(), kUsbUri}, backend, after(1));

  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, wholeJob());
  expectReport(r.err, "DEBUG: Unexpected Device-ID format\n" + colorLines("0,0,0,0"));
}

TEST(UsbLevels, DeviceIdFillingTheWholeBufferIsReadToItsEnd)
{
  // 1023 bytes, the most the filter offers room for, with the field at the
  // very end and no terminator; then one byte more than that.
  const std::string tail = "RTN:x/77,66,55,44";
  const std::string full = "MFG:Arvex;DES:" + std::string(1023 - 14 - tail.size() - 1, 'D') + ";" + tail;
  ASSERT_EQ(full.size(), 1023u);
  FakeBackend backend(usbPrinter({full, full + "9"}));
  const ProcessResult r = runJob({colorPpd(), kUsbUri}, backend, after(1, "DEBUG:"));

  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, wholeJob());
  // The longer one doesn't fit: the library reports it as too big.
  const std::string levels = colorLines("77,66,55,44");
  const std::string tooBig = "DEBUG: Get Supply-Info request failed with status: 6\n";
  ASSERT_EQ(r.err.substr(0, levels.size() + tooBig.size()), levels + tooBig) << r.err;
  EXPECT_EQ(count(r.err, tooBig) * tooBig.size() + levels.size(), r.err.size()) << r.err;
}

// --- when no thread runs ---

TEST(NoThread, NoDeviceUriOrNoColorDeviceMeansNoRequests)
{
  for (const Job &job : {Job{colorPpd(), ""}, Job{colorPpd({{"*ColorDevice:", ""}}), kNetworkUri}}) {
    FakeBackend backend(snmpPrinter({{1, 2, 3, 4}}));
    TempFile ppd(job.ppd);
    HeldInput input(jobData());
    // A thread would ask at once; give it a second before the job ends.
    std::jthread ender([&] {
      EXPECT_FALSE(backend.waitForRequests(1, 1000ms)) << job.deviceUri;
      input.release();
    });
    const ProcessResult r = arvex::test::runProcess(filterOptions(ppd, job.deviceUri, backend, input));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, wholeJob());
    EXPECT_EQ(r.err, "");
  }
}

// --- stopping the thread ---

// The filter's pid: the one child of this test that is running.
pid_t runningChild()
{
  DIR *tasks = opendir("/proc/self/task");
  pid_t child = 0;
  while (dirent *task = readdir(tasks)) {
    std::ifstream children(std::string("/proc/self/task/") + task->d_name + "/children");
    pid_t pid = 0;
    if (children >> pid)
      child = pid;
  }
  closedir(tasks);
  return child;
}

// The blocked-signal masks of a process's threads, the main thread first.
std::vector<unsigned long long> blockedSignals(pid_t pid)
{
  std::vector<unsigned long long> masks;
  const std::string taskDir = "/proc/" + std::to_string(pid) + "/task";
  DIR *tasks = opendir(taskDir.c_str());
  if (!tasks)
    return masks;
  while (dirent *task = readdir(tasks)) {
    if (task->d_name[0] == '.')
      continue;
    std::ifstream status(taskDir + "/" + task->d_name + "/status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.rfind("SigBlk:", 0) == 0) {
        const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
        if (std::to_string(pid) == task->d_name)
          masks.insert(masks.begin(), mask);
        else
          masks.push_back(mask);
      }
    }
  }
  closedir(tasks);
  return masks;
}

// Wait until the process's main thread sits in read(), that is in the job
// stream's copy, where SIGTERM is handled.
bool waitUntilReading(pid_t pid)
{
  const std::string path = "/proc/" + std::to_string(pid) + "/syscall";
  for (int i = 0; i < 5000; ++i) {
    std::ifstream syscall(path);
    std::string number;
    if (syscall >> number && number == "0")
      return true;
    std::this_thread::sleep_for(1ms);
  }
  return false;
}

// The output of a job ended by SIGTERM during the copy: the header and
// the language switch, then at most the data, never the trailer.
void expectCutShort(const std::string &out)
{
  const std::string head = jobHead();
  const size_t dataStart = head.size() - jobData().size();
  EXPECT_GE(out.size(), dataStart);
  EXPECT_EQ(out, head.substr(0, out.size()));
}

bool blocks(unsigned long long mask, int signal)
{
  return (mask >> (signal - 1)) & 1;
}

TEST(StopThread, WhileItSleeps)
{
  // A stop that waited for the sleep to end would take an hour.
  FakeBackend backend(snmpPrinter({{80, 60, 40, 20}}));
  const PpdEdit hourly = {"*AXSupplyLevelCycleTime socket:", "*AXSupplyLevelCycleTime socket: \"3600\""};
  TempFile ppd(colorPpd({kNoSnmpSupplies, hourly}));
  HeldInput input(jobData());
  ProcessOptions options = filterOptions(ppd, kNetworkUri, backend, input);
  options.timeLimit = 20s;
  options.onOutput = [&](const ProcessResult &r) {
    if (after(1)(r))
      input.release();
    return 0;
  };
  const ProcessResult r = arvex::test::runProcess(options);

  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, wholeJob());
  EXPECT_EQ(r.err, colorLines("80,60,40,20"));
}

TEST(StopThread, WhileASilentBackendKeepsItWaiting)
{
  // The request would give up after 5 seconds and report the time-out with
  // a "DEBUG:" line; the stop must not wait for that.
  FakeBackend backend([](const SideChannelRequest &, int) { return SideChannelAnswer::none(); });
  TempFile ppd(colorPpd());
  HeldInput input(jobData());
  ProcessOptions options = filterOptions(ppd, kNetworkUri, backend, input);
  options.timeLimit = 4s;
  std::jthread ender([&] {
    EXPECT_TRUE(backend.waitForRequests(1, 3000ms));
    input.release();
  });
  const ProcessResult r = arvex::test::runProcess(options);

  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, wholeJob());
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(requested(backend), std::vector<std::string>{kLevelOid + ".1"});
}

TEST(StopThread, TermWhileTheThreadSleepsEndsTheJob)
{
  FakeBackend backend(snmpPrinter({{80, 60, 40, 20}}));
  TempFile ppd(colorPpd({kNoSnmpSupplies}));
  HeldInput input(jobData());
  ProcessOptions options = filterOptions(ppd, kNetworkUri, backend, input);
  options.timeLimit = 20s;
  std::vector<unsigned long long> masks;
  options.onOutput = [&](const ProcessResult &r) {
    if (!after(1)(r) || !masks.empty())
      return 0;
    const pid_t filter = runningChild();
    if (filter <= 0 || !waitUntilReading(filter))
      return SIGKILL;
    masks = blockedSignals(filter);
    return SIGTERM;
  };
  const ProcessResult r = arvex::test::runProcess(options);

  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 1);
  expectCutShort(r.out);
  EXPECT_EQ(r.err, colorLines("80,60,40,20"));
  // Only the main thread takes SIGTERM, so the signal always interrupts
  // the job stream's read; the reporting thread blocks every signal.
  ASSERT_GE(masks.size(), 2u);
  EXPECT_FALSE(blocks(masks[0], SIGTERM));
  for (size_t i = 1; i < masks.size(); ++i) {
    EXPECT_TRUE(blocks(masks[i], SIGTERM)) << "thread " << i;
    EXPECT_TRUE(blocks(masks[i], SIGPIPE)) << "thread " << i;
    EXPECT_TRUE(blocks(masks[i], SIGINT)) << "thread " << i;
  }
}

TEST(StopThread, TermWhileTheThreadWaitsForTheBackend)
{
  FakeBackend backend([](const SideChannelRequest &, int) { return SideChannelAnswer::none(); });
  TempFile ppd(colorPpd());
  HeldInput input(jobData());
  ProcessOptions options = filterOptions(ppd, kNetworkUri, backend, input);
  options.timeLimit = 4s;
  std::jthread terminator([&] {
    const pid_t filter = backend.waitForRequests(1, 3000ms) ? runningChild() : 0;
    if (filter > 0 && waitUntilReading(filter))
      kill(filter, SIGTERM);
  });
  const ProcessResult r = arvex::test::runProcess(options);

  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 1);
  expectCutShort(r.out);
  EXPECT_EQ(r.err, "");
}

}  // namespace
