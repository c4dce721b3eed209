// The backend's end of the CUPS side channel, for tests: answers the
// filter's SNMP and device-ID requests in the library's wire format, as a
// scripted printer would.
//
// Each message is one byte command, one byte status, two bytes big-endian
// data length, then the data. An SNMP request carries the object
// identifier with its terminating NUL; the reply carries the identifier, a
// NUL and the value (integers as decimal text, octet strings raw).
#ifndef ARVEX_TEST_FAKE_BACKEND_H
#define ARVEX_TEST_FAKE_BACKEND_H

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace arvex::test {

struct SideChannelRequest {
  int command = 0;
  std::string data;  // the object identifier of an SNMP request, without NUL
};

struct SideChannelAnswer {
  bool silent = false;  // never answer: the request waits for its time-out
  int status = 1;       // CUPS_SC_STATUS_OK
  std::string value;    // the SNMP value or the device ID

  static SideChannelAnswer integer(int value) { return {false, 1, std::to_string(value)}; }
  static SideChannelAnswer octets(std::string bytes) { return {false, 1, std::move(bytes)}; }
  static SideChannelAnswer text(std::string text) { return {false, 1, std::move(text)}; }
  static SideChannelAnswer failure(int status) { return {false, status, {}}; }
  static SideChannelAnswer none() { return {true, 0, {}}; }
};

// The answer to a request; cycle counts the earlier requests with the same
// command and data, so a script can change values from one cycle to the
// next.
using SideChannelScript = std::function<SideChannelAnswer(const SideChannelRequest &request, int cycle)>;

class FakeBackend {
public:
  explicit FakeBackend(SideChannelScript script);
  ~FakeBackend();
  FakeBackend(const FakeBackend &) = delete;
  FakeBackend &operator=(const FakeBackend &) = delete;

  // The descriptor to hand to the filter as descriptor 4; close it here
  // once the filter has its copy, so that the filter's exit ends the
  // conversation.
  int filterEnd() const { return filterEnd_; }
  void closeFilterEnd();

  std::vector<SideChannelRequest> requests() const;

  // Wait until at least count requests have arrived; false when the limit
  // passes first.
  bool waitForRequests(size_t count, std::chrono::milliseconds limit) const;

private:
  void serve();
  bool handle(const std::string &message);

  SideChannelScript script_;
  int filterEnd_ = -1;
  int ownEnd_ = -1;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  mutable std::condition_variable arrived_;
  std::vector<SideChannelRequest> requests_;
  std::thread thread_;
};

// The data of an SNMP request or reply for the identifier and the value.
std::string snmpData(const std::string &oid, const std::string &value);

}  // namespace arvex::test

#endif
