// The backend's end of the CUPS side channel, scripted: answers the SNMP
// and device-ID requests of a filter in libcups's wire format (command,
// status, 2-byte big-endian length, data; an SNMP reply holds the
// identifier, a NUL and the value). Used by the tests and the benchmarks.
#ifndef ARVEX_TEST_SIDE_CHANNEL_BACKEND_H
#define ARVEX_TEST_SIDE_CHANNEL_BACKEND_H

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace arvex::test {

struct SideChannelRequest {
  int command = 0;
  std::string data;  // an SNMP request's identifier, without its NUL
};
struct SideChannelAnswer {
  int status = 1;       // CUPS_SC_STATUS_OK
  std::string value;    // SNMP value or device ID
  bool silent = false;  // never answer
};
// cycle: how many earlier requests had the same command and data.
using SideChannelScript = std::function<SideChannelAnswer(const SideChannelRequest &, int cycle)>;

class SideChannelBackend {
public:
  explicit SideChannelBackend(SideChannelScript script);
  ~SideChannelBackend();
  SideChannelBackend(const SideChannelBackend &) = delete;
  SideChannelBackend &operator=(const SideChannelBackend &) = delete;
  // The filter's end, above descriptor 9: hand it to a child as 4, or dup2
  // it onto 4 to query in this process.
  int filterEnd() const { return filterEnd_; }
  std::vector<SideChannelRequest> requests() const;

private:
  void serve();
  SideChannelScript script_;
  int filterEnd_ = -1, ownEnd_ = -1;
  mutable std::mutex mutex_;
  std::vector<SideChannelRequest> requests_;
  std::thread thread_;
};

}  // namespace arvex::test

#endif
