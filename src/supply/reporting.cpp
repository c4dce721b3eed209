// Setting up and ending the reporting thread: the PPD marking for the job,
// the device and colour types, the cycle time and the library probe.

#include "reporting.h"

#include <cups/backend.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <new>
#include <strings.h>
#include <syslog.h>

#include "reporting_private.h"
#include "supply_tables.h"

namespace {

// The CUPS library whose side-channel SNMP request the thread relies on.
constexpr char kCupsLibrary[] = "libcups.so.2";
constexpr char kSnmpRequestSymbol[] = "cupsSideChannelSNMPGet";

constexpr int kSchemeSize = 32;
constexpr int kUriPartSize = 1024;

// Whether the PPD leaves the printer states to the filter: any value of
// "cupsSNMPSupplies" but "True". Without the attribute the flag stays.
void setReportPrinterStates(ppd_file_t *ppd)
{
  const ppd_attr_t *attr = ppdFindAttr(ppd, "cupsSNMPSupplies", nullptr);
  if (attr)
    current_cupsSNMPSupplies = (attr->value && strcasecmp(attr->value, "True") == 0) ? 0 : 1;
}

// The cycle time text: one or more ASCII digits and nothing else. Values
// beyond the int range count as the largest int.
int parseCycleTime(const char *text)
{
  if (!text || !*text)
    return -1;
  long long seconds = 0;
  for (const char *p = text; *p; ++p) {
    if (*p < '0' || *p > '9')
      return -1;
    seconds = seconds * 10 + (*p - '0');
    if (seconds > INT_MAX)
      seconds = INT_MAX;
  }
  return static_cast<int>(seconds);
}

}  // namespace

extern "C" {

unsigned char current_cupsSNMPSupplies = 0;

// Mark the PPD for the job and start the reporting thread when the job has
// a device URI, the PPD names the printer's markers and the cycle time is
// not 0. Every failure here only means that no thread runs.
ReportLevelsContext *StartReportLevels(int numOptions, cups_option_t *options, char *argv[], ppd_file_t *ppd)
{
  if (!options || !argv || !ppd)
    return nullptr;

  auto *info = new (std::nothrow) SupplyInfo();
  if (!info)
    return nullptr;

  // Every later reader of marked choices sees the PPD as marked here.
  ppdMarkDefaults(ppd);
  cupsMarkOptions(ppd, numOptions, options);

  const int colorType = GetColorType(ppd);
  const int deviceType = GetDeviceType(argv);
  setReportPrinterStates(ppd);

  if (!GetSupplyInfoFromPPD(ppd, colorType, info) || deviceType == REPORT_DEVICE_NONE) {
    delete info;
    return nullptr;
  }

  auto *context = new (std::nothrow) ReportLevelsContext();
  if (!context) {
    delete info;
    return nullptr;
  }
  context->supplyInfo = info;
  context->deviceType = deviceType;
  context->colorType = colorType;
  context->cycleTime = GetThreadCycleTime(ppd, argv);

  if (context->cycleTime < 1 ||
      arvex::supply::createQuietThread(&context->thread, ProcReportLevels, context) != 0) {
    delete info;
    delete context;
    return nullptr;
  }
  return context;
}

// End the thread wherever it waits, join it, and release its records. A
// thread that already ended by itself is joined the same way.
void StopReportLevels(ReportLevelsContext *context)
{
  if (!context)
    return;
  pthread_cancel(context->thread);
  pthread_join(context->thread, nullptr);
  delete context->supplyInfo;
  delete context;
}

// Seconds between two cycles: the cycle time of the device URI's scheme,
// 3 without a usable URI. 0 means that no thread runs.
int GetThreadCycleTime(ppd_file_t *ppd, char *argv[])
{
  char scheme[kSchemeSize] = {};
  if (!ppd || !argv || !GetScheme(argv, scheme, sizeof(scheme)))
    return arvex::supply::kDefaultCycleTime;
  return arvex::supply::cycleTimeFor(ppd, scheme);
}

// The scheme of the job's device URI, decoded, in the caller's buffer.
char *GetScheme(char *argv[], char *scheme, int size)
{
  if (!argv || !scheme || size < 1)
    return nullptr;
  const char *uri = cupsBackendDeviceURI(argv);
  if (!uri)
    return nullptr;
  char username[kUriPartSize] = {};
  char host[kUriPartSize] = {};
  char resource[kUriPartSize] = {};
  int port = 0;
  const http_uri_status_t status = httpSeparateURI(HTTP_URI_CODING_ALL, uri, scheme, size, username,
                                                   sizeof(username), host, sizeof(host), &port,
                                                   resource, sizeof(resource));
  return status >= HTTP_URI_STATUS_OK ? scheme : nullptr;
}

// USB when the device URI begins "usb://" in any letter case, network for
// any other URI, none without a URI.
int GetDeviceType(char *argv[])
{
  if (!argv)
    return REPORT_DEVICE_NONE;
  const char *uri = cupsBackendDeviceURI(argv);
  if (!uri)
    return REPORT_DEVICE_NONE;
  const int type = strncasecmp(uri, "usb://", 6) == 0 ? REPORT_DEVICE_USB : REPORT_DEVICE_NETWORK;
  syslog(LOG_ERR, "GetDeviceTypr: device type = %s\n", uri);
  return type;
}

// Four markers when the PPD's "ColorDevice" is "True" in any letter case,
// one for another value, unknown without the attribute.
int GetColorType(ppd_file_t *ppd)
{
  if (!ppd)
    return REPORT_COLOR_UNKNOWN;
  const ppd_attr_t *attr = ppdFindAttr(ppd, "ColorDevice", nullptr);
  if (!attr)
    return REPORT_COLOR_UNKNOWN;
  return (attr->value && strcasecmp(attr->value, "True") == 0) ? REPORT_COLOR_CMYK : REPORT_COLOR_MONO;
}

// Whether the CUPS library installed on this system has the side-channel
// SNMP request; older libraries lack it.
int IsAvailableRelatedAPI(void)
{
  int result = 0;
  if (void *library = dlopen(kCupsLibrary, RTLD_LAZY)) {
    result = dlsym(library, kSnmpRequestSymbol) != nullptr ? 1 : 0;
    dlclose(library);
  }
  syslog(LOG_ERR, "IsAvailableRelatedAPI result = %d\n", result);
  return result;
}

// Start routine(thread) on a new thread with every signal blocked.
bool InitReportLevelsThread(pthread_t *thread, void *(*routine)(void *))
{
  if (!thread || !routine)
    return false;
  return arvex::supply::createQuietThread(thread, routine, thread) == 0;
}

// Every failed cycle is retried except when the backend doesn't implement
// the request.
bool IsEnableRetrySupplyInfo(int status)
{
  return status != REPORT_STATUS_NOT_IMPLEMENTED;
}

}  // extern "C"

namespace arvex::supply {

int cycleTimeFor(ppd_file_t *ppd, const char *scheme)
{
  const ppd_attr_t *attr = ppdFindAttr(ppd, "AXSupplyLevelCycleTime", scheme);
  if (!attr)
    return kDefaultCycleTime;
  const int seconds = parseCycleTime(attr->value);
  return seconds < 0 ? kDefaultCycleTime : seconds;
}

}  // namespace arvex::supply
