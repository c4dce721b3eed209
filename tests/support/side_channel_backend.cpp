// The scripted backend end of the side channel.

#include "arvex/side_channel_backend.h"

#include <cups/sidechannel.h>

#include <cerrno>
#include <fcntl.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace arvex::test {

SideChannelBackend::SideChannelBackend(SideChannelScript script) : script_(std::move(script))
{
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
    throw std::runtime_error("socketpair failed");
  filterEnd_ = fcntl(ends[0], F_DUPFD_CLOEXEC, 10);
  ownEnd_ = fcntl(ends[1], F_DUPFD_CLOEXEC, 10);
  close(ends[0]);
  close(ends[1]);
  thread_ = std::thread([this] { serve(); });
}

SideChannelBackend::~SideChannelBackend()
{
  shutdown(ownEnd_, SHUT_RDWR);  // ends serve()
  thread_.join();
  close(filterEnd_);
  close(ownEnd_);
}

std::vector<SideChannelRequest> SideChannelBackend::requests() const
{
  std::lock_guard lock(mutex_);
  return requests_;
}

// Requests may arrive in pieces or several at once; each reply goes out in
// one write, as libcups reads it.
void SideChannelBackend::serve()
{
  std::string pending;
  char chunk[4096];
  for (;;) {
    const ssize_t got = read(ownEnd_, chunk, sizeof(chunk));
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      return;
    pending.append(chunk, static_cast<size_t>(got));
    while (pending.size() >= 4) {
      const size_t length = static_cast<unsigned char>(pending[2]) << 8 | static_cast<unsigned char>(pending[3]);
      if (pending.size() < 4 + length)
        break;
      SideChannelRequest request{static_cast<unsigned char>(pending[0]), pending.substr(4, length)};
      pending.erase(0, 4 + length);
      const bool snmp = request.command == CUPS_SC_CMD_SNMP_GET;
      if (snmp && !request.data.empty() && request.data.back() == '\0')
        request.data.pop_back();
      int cycle = 0;
      {
        std::lock_guard lock(mutex_);
        for (const auto &earlier : requests_)
          cycle += earlier.command == request.command && earlier.data == request.data;
        requests_.push_back(request);
      }
      const SideChannelAnswer answer = script_(request, cycle);
      if (answer.silent)
        continue;
      std::string data;
      if (answer.status == CUPS_SC_STATUS_OK)
        data = snmp ? request.data + std::string(1, '\0') + answer.value : answer.value;
      const std::string reply = std::string{static_cast<char>(request.command), static_cast<char>(answer.status),
                                            static_cast<char>(data.size() >> 8), static_cast<char>(data.size() & 0xff)} +
                                data;
      if (write(ownEnd_, reply.data(), reply.size()) != static_cast<ssize_t>(reply.size()))
        return;
    }
  }
}

}  // namespace arvex::test
