// Scripted backend end of the side channel.

#include "FakeBackend.h"

#include <cups/sidechannel.h>

#include <cerrno>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace arvex::test {

namespace {

constexpr size_t kHeaderSize = 4;

std::string message(int command, int status, const std::string &data)
{
  std::string bytes;
  bytes.push_back(static_cast<char>(command));
  bytes.push_back(static_cast<char>(status));
  bytes.push_back(static_cast<char>((data.size() >> 8) & 0xff));
  bytes.push_back(static_cast<char>(data.size() & 0xff));
  return bytes + data;
}

}  // namespace

std::string snmpData(const std::string &oid, const std::string &value)
{
  return oid + std::string(1, '\0') + value;
}

FakeBackend::FakeBackend(SideChannelScript script) : script_(std::move(script))
{
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
    throw std::runtime_error("socketpair failed");
  filterEnd_ = ends[0];
  ownEnd_ = ends[1];
  thread_ = std::thread([this] { serve(); });
}

FakeBackend::~FakeBackend()
{
  stopping_ = true;
  shutdown(ownEnd_, SHUT_RDWR);
  thread_.join();
  closeFilterEnd();
  close(ownEnd_);
}

void FakeBackend::closeFilterEnd()
{
  if (filterEnd_ >= 0)
    close(filterEnd_);
  filterEnd_ = -1;
}

std::vector<SideChannelRequest> FakeBackend::requests() const
{
  std::lock_guard lock(mutex_);
  return requests_;
}

bool FakeBackend::waitForRequests(size_t count, std::chrono::milliseconds limit) const
{
  std::unique_lock lock(mutex_);
  return arrived_.wait_for(lock, limit, [&] { return requests_.size() >= count; });
}

// Read requests until the filter's end closes; a request may arrive in
// pieces, several may arrive together.
void FakeBackend::serve()
{
  std::string pending;
  char chunk[65536];
  while (!stopping_) {
    pollfd fd = {ownEnd_, POLLIN, 0};
    if (poll(&fd, 1, 100) <= 0)
      continue;
    const ssize_t got = read(ownEnd_, chunk, sizeof(chunk));
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      return;
    pending.append(chunk, static_cast<size_t>(got));
    while (pending.size() >= kHeaderSize) {
      const size_t length = (static_cast<unsigned char>(pending[2]) << 8) | static_cast<unsigned char>(pending[3]);
      if (pending.size() < kHeaderSize + length)
        break;
      if (!handle(pending.substr(0, kHeaderSize + length)))
        return;
      pending.erase(0, kHeaderSize + length);
    }
  }
}

// Record one request and send the script's answer, in one write as the
// library expects.
bool FakeBackend::handle(const std::string &bytes)
{
  SideChannelRequest request;
  request.command = static_cast<unsigned char>(bytes[0]);
  request.data = bytes.substr(kHeaderSize);
  if (request.command == CUPS_SC_CMD_SNMP_GET && !request.data.empty() && request.data.back() == '\0')
    request.data.pop_back();

  int cycle = 0;
  {
    std::lock_guard lock(mutex_);
    for (const auto &earlier : requests_)
      cycle += earlier.command == request.command && earlier.data == request.data;
    requests_.push_back(request);
  }
  arrived_.notify_all();

  const SideChannelAnswer answer = script_(request, cycle);
  if (answer.silent)
    return true;
  std::string data;
  if (answer.status == CUPS_SC_STATUS_OK)
    data = request.command == CUPS_SC_CMD_SNMP_GET ? snmpData(request.data, answer.value) : answer.value;
  const std::string reply = message(request.command, answer.status, data);
  return write(ownEnd_, reply.data(), reply.size()) == static_cast<ssize_t>(reply.size());
}

}  // namespace arvex::test
