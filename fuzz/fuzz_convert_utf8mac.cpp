// Fuzz target: composition of escaped marking text. The input and output
// blocks have exactly the sizes the call is told, so AddressSanitizer sees
// any read or write outside them.

#include <arvex/unicode.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  if (size < 1)
    return 0;
  // The first byte chooses the output capacity around the input length:
  // smaller, equal, or with room for any composition.
  const size_t length = size - 1;
  const size_t capacities[] = {length / 2, length, length + data[0] / 4u, 3 * length + 12};
  const size_t capacity = capacities[data[0] % 4];
  std::vector<char> in(data + 1, data + size);
  in.push_back('\0');  // a terminator outside the given length
  std::unique_ptr<char[]> out(new char[capacity + 1]);
  std::memset(out.get(), 0, capacity + 1);
  const int result = convertUTF8MACtoUTF8(static_cast<int>(length), in.data(), out.get(), capacity);
  if (result != 1 && result != -1)
    abort();

  // encodeNFC over the same bytes, with a one-byte marker from the input.
  if (length > 1) {
    std::vector<char> buf(data + 1, data + size);
    const std::vector<char> before = buf;
    const char marker[2] = {static_cast<char>(data[1] == 0 ? '\\' : data[1]), '\0'};
    int end = -1;
    const int ok = encodeNFC(marker, buf.data(), static_cast<int>(buf.size()), &end);
    if (ok == 0 && buf != before)
      abort();  // a failure leaves the buffer as it was
    if (ok == 1 && (end < 0 || end > static_cast<int>(buf.size())))
      abort();
  }
  return 0;
}
