// The queries of one reporting cycle: marker levels by SNMP or from the
// USB device ID, and the printer's error state, all through the backend's
// side channel.

#include "reporting.h"

#include <cups/sidechannel.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <syslog.h>

#include "reporting_private.h"
#include "supply_tables.h"

namespace {

using arvex::supply::kLevelOid;
using arvex::supply::kPrinterStateOid;

constexpr size_t kOidSize = 128;
constexpr double kRequestTimeout = 5.0;

// A side-channel reply. The request is offered one byte less than the
// buffer, so the reply always ends in a terminator whatever the backend
// sends.
struct SideChannelReply {
  char data[1024];
  int length;
};

// Make the reply's text end where the backend said it ends.
void terminate(SideChannelReply &reply)
{
  const int room = static_cast<int>(sizeof(reply.data)) - 1;
  if (reply.length < 0 || reply.length > room)
    reply.length = 0;
  reply.data[reply.length] = '\0';
}

// The bytes of an enumeration object as an integer. libcups stores the
// command and status bytes of a reply in enumeration objects as the backend
// sent them; a byte outside the enumeration's list must not be read as it.
template <typename Enum>
int asInteger(const Enum &stored)
{
  int value = 0;
  static_assert(sizeof(value) == sizeof(stored));
  std::memcpy(&value, &stored, sizeof(value));
  return value;
}

// Read the backend's reply to a command into data (length: its size, then
// the reply's). A reply to another command, or a status outside CUPS's
// list, is a bad message.
int readReply(cups_sc_command_t expected, char *data, int &length, double timeout)
{
  cups_sc_command_t command = CUPS_SC_CMD_NONE;
  cups_sc_status_t received = CUPS_SC_STATUS_NONE;
  if (cupsSideChannelRead(&command, &received, data, &length, timeout) != 0)
    return CUPS_SC_STATUS_TIMEOUT;
  const int status = asInteger(received);
  if (asInteger(command) != expected || status < CUPS_SC_STATUS_NONE || status > CUPS_SC_STATUS_NOT_IMPLEMENTED)
    return CUPS_SC_STATUS_BAD_MESSAGE;
  return status;
}

// One SNMP request and its reply, with the answers libcups's
// cupsSideChannelSNMPGet gives for a well-formed reply. The backend is
// outside the filter's trust: a reply of another command, one whose data
// does not start with the requested OID and its terminator, or one whose
// value does not fit is a bad message, never a crash.
int exchangeSnmp(const char *oid, SideChannelReply &reply, double timeout)
{
  const size_t oidSize = std::strlen(oid) + 1;
  if (cupsSideChannelWrite(CUPS_SC_CMD_SNMP_GET, CUPS_SC_STATUS_NONE, oid, static_cast<int>(oidSize), timeout) != 0)
    return CUPS_SC_STATUS_TIMEOUT;

  char message[2048];
  int length = sizeof(message);
  const int status = readReply(CUPS_SC_CMD_SNMP_GET, message, length, timeout);
  if (status != CUPS_SC_STATUS_OK)
    return status;
  if (length < 0 || static_cast<size_t>(length) < oidSize || std::memcmp(message, oid, oidSize) != 0)
    return CUPS_SC_STATUS_BAD_MESSAGE;
  const int valueLength = length - static_cast<int>(oidSize);
  if (valueLength + 1 > reply.length)
    return CUPS_SC_STATUS_TOO_BIG;
  std::memcpy(reply.data, message + oidSize, static_cast<size_t>(valueLength));
  reply.length = valueLength;
  return CUPS_SC_STATUS_OK;
}

// Ask the backend for one SNMP value. StopReportLevels may end the thread
// while the backend keeps it waiting.
int requestSnmpValue(const char *oid, SideChannelReply &reply, double timeout)
{
  std::memset(reply.data, 0, sizeof(reply.data));
  reply.length = static_cast<int>(sizeof(reply.data)) - 1;
  const int window = arvex::supply::openCancelWindow();
  const int status = exchangeSnmp(oid, reply, timeout);
  arvex::supply::closeCancelWindow(window);
  terminate(reply);
  return status;
}

// Ask the backend for the printer's IEEE-1284 device ID.
int requestDeviceId(SideChannelReply &reply, double timeout)
{
  std::memset(reply.data, 0, sizeof(reply.data));
  reply.length = static_cast<int>(sizeof(reply.data)) - 1;
  const int window = arvex::supply::openCancelWindow();
  int status = CUPS_SC_STATUS_TIMEOUT;
  if (cupsSideChannelWrite(CUPS_SC_CMD_GET_DEVICE_ID, CUPS_SC_STATUS_NONE, nullptr, 0, timeout) == 0)
    status = readReply(CUPS_SC_CMD_GET_DEVICE_ID, reply.data, reply.length, timeout);
  arvex::supply::closeCancelWindow(window);
  terminate(reply);
  return status;
}

void reportFailedRequest(int status)
{
  std::fprintf(stderr, "DEBUG: Get Supply-Info request failed with status: %d\n", status);
}

int markerCount(int colorType)
{
  return colorType == REPORT_COLOR_CMYK ? 4 : 1;
}

}  // namespace

extern "C" {

int32_t current_state = -1;

// The markers' colours, names and types from the PPD: "cupsMarkerName"
// with the marker's index as keyword (value = colour, translation = name) and
// "AXMarkerTypes" for all of them. 0 when any of them is missing.
int GetSupplyInfoFromPPD(ppd_file_t *ppd, int colorType, SupplyInfo *info)
{
  if (!ppd || colorType == REPORT_COLOR_UNKNOWN || !info)
    return 0;
  const ppd_attr_t *types = ppdFindAttr(ppd, "AXMarkerTypes", nullptr);
  if (!types)
    return 0;
  const char *type = types->value ? types->value : "";

  const int count = markerCount(colorType);
  for (int i = 0; i < count; ++i)
    info->markerTypes[i] = type;
  for (int i = 0; i < count; ++i) {
    const char index[2] = {static_cast<char>('0' + i), '\0'};
    const ppd_attr_t *marker = ppdFindAttr(ppd, "cupsMarkerName", index);
    if (!marker)
      return 0;
    info->markerNames[i] = marker->text;
    info->markerColors[i] = marker->value ? marker->value : "";
  }
  return 1;
}

// One cycle's query, by the way the printer is reached.
int GetCurrentSupplyInfo(SupplyInfo *info, int deviceType, int colorType)
{
  switch (deviceType) {
  case REPORT_DEVICE_NETWORK:
    return GetSupplyInfoBySNMP(info, colorType, kRequestTimeout);
  case REPORT_DEVICE_USB:
    return GetSupplyInfoByUSB(info, colorType, kRequestTimeout);
  default:
    syslog(LOG_ERR, "GetCurrentSupplyInfo:unknow device type\n");
    return 0;
  }
}

// Read each marker's level; then, when the filter reports printer states,
// the state. A failed level request ends the cycle with its status.
int GetSupplyInfoBySNMP(SupplyInfo *info, int colorType, double timeout)
{
  SideChannelReply reply;
  const int count = markerCount(colorType);
  for (int k = 1; k <= count; ++k) {
    char oid[kOidSize] = {};
    std::snprintf(oid, sizeof(oid), "%s.%d", kLevelOid, k);
    const int status = requestSnmpValue(oid, reply, timeout);
    if (status != REPORT_STATUS_OK) {
      reportFailedRequest(status);
      return status;
    }
    info->markerLevels[k - 1] = std::atoi(reply.data);
  }
  if (current_cupsSNMPSupplies != 1)
    return REPORT_STATUS_OK;
  return GetPrinterStateBySNMP(timeout);
}

// Read the printer's error state and report the conditions that changed
// since the last reading (all of them the first time).
int GetPrinterStateBySNMP(double timeout)
{
  char oid[kOidSize] = {};
  std::snprintf(oid, sizeof(oid), "%s", kPrinterStateOid);
  SideChannelReply reply;
  if (requestSnmpValue(oid, reply, timeout) != REPORT_STATUS_OK)
    return 0;

  const auto octet = [&reply](int i) { return static_cast<int>(static_cast<unsigned char>(reply.data[i])); };
  int state = 0;
  if (reply.length == 1)
    state = octet(0) << 8;
  else if (reply.length == 2)
    state = (octet(0) << 8) | octet(1);

  arvex::supply::reportStateChanges(current_state, state);
  current_state = state;
  return 1;
}

// Levels from the device ID's "RTN:" field: after its first "/", four
// comma-separated numbers for a colour printer, one for a monochrome one.
int GetSupplyInfoByUSB(SupplyInfo *info, int colorType, double timeout)
{
  SideChannelReply reply;
  const int status = requestDeviceId(reply, timeout);
  if (status != REPORT_STATUS_OK) {
    reportFailedRequest(status);
    return status;
  }
  const char *field = std::strstr(reply.data, "RTN:");
  if (!field) {
    std::fputs("DEBUG: Unexpected Device-ID format\n", stderr);
    return 0;
  }

  const std::optional<std::string_view> rest = arvex::supply::rtnLevels(field + 4);
  if (!rest)
    return 0;

  char levels[sizeof(reply.data)] = {};
  rest->copy(levels, sizeof(levels) - 1);
  if (colorType == REPORT_COLOR_CMYK) {
    // A level that doesn't parse keeps its last value.
    std::sscanf(levels, "%d,%d,%d,%d", &info->markerLevels[0], &info->markerLevels[1],
                &info->markerLevels[2], &info->markerLevels[3]);
  } else {
    info->markerLevels[0] = std::atoi(levels);
  }
  return 1;
}

}  // extern "C"

namespace arvex::supply {

std::optional<std::string_view> rtnLevels(const char *field)
{
  std::string_view rest(field);
  const size_t begin = rest.find_first_not_of(';');
  if (begin == std::string_view::npos)
    return std::nullopt;
  rest.remove_prefix(begin);
  rest = rest.substr(0, rest.find(';'));
  const size_t slash = rest.find('/');
  if (slash == std::string_view::npos)
    return std::nullopt;
  rest.remove_prefix(slash + 1);
  return rest;
}

}  // namespace arvex::supply
