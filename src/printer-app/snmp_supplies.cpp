// Supply levels and printer states: read from the printer by SNMP (or from
// the USB device ID) on a worker thread at the PPD's cycle time, published
// to the printer by the system timer and the status callback, which never
// wait for the printer.

#include "printer_app.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <supply_tables.h>

#include "supply_rules.h"

#include <array>
#include <atomic>
#include <charconv>
#include <cstring>
#include <ctime>
#include <limits>
#include <strings.h>
#include <mutex>
#include <optional>
#include <thread>

namespace arvex::app {

namespace {

constexpr char kCommunity[] = "public";
constexpr long kSnmpTimeout = 1000000;  // microseconds per request, no retry
constexpr int kSilentCycles = 3;        // cycles without an answer before the levels go
// The PPD's marker colours as PAPPL names them.
pappl_supply_color_t colorOf(const std::string &hex)
{
  static const std::pair<const char *, pappl_supply_color_t> kColors[] = {
      {"#000000", PAPPL_SUPPLY_COLOR_BLACK},  {"#00FFFF", PAPPL_SUPPLY_COLOR_CYAN},
      {"#FF00FF", PAPPL_SUPPLY_COLOR_MAGENTA}, {"#FFFF00", PAPPL_SUPPLY_COLOR_YELLOW},
  };
  for (const auto &[name, color] : kColors)
    if (strcasecmp(hex.c_str(), name) == 0)
      return color;
  return PAPPL_SUPPLY_COLOR_NO_COLOR;
}

pappl_supply_type_t typeOf(const std::string &keyword)
{
  static const std::pair<const char *, pappl_supply_type_t> kTypes[] = {
      {"toner", PAPPL_SUPPLY_TYPE_TONER}, {"toner-cartridge", PAPPL_SUPPLY_TYPE_TONER_CARTRIDGE},
      {"ink", PAPPL_SUPPLY_TYPE_INK},     {"ink-cartridge", PAPPL_SUPPLY_TYPE_INK_CARTRIDGE},
  };
  for (const auto &[name, type] : kTypes)
    if (keyword == name)
      return type;
  return PAPPL_SUPPLY_TYPE_OTHER;
}

// What one cycle read: each part only when its reply was whole and valid.
struct Reading {
  std::optional<std::vector<int>> levels;
  std::optional<int> state;
};

// Numeric OID text (".1.3.6...") into oids; false when it isn't one.
bool parseOid(std::string_view text, oid *oids, size_t &length)
{
  length = 0;
  while (!text.empty() && text[0] == '.' && length < MAX_OID_LEN) {
    text.remove_prefix(1);
    unsigned long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc())
      return false;
    oids[length++] = value;
    text.remove_prefix(static_cast<size_t>(end - text.data()));
  }
  return text.empty() && length > 0;
}

struct SessionCloser {
  void operator()(void *session) const { snmp_sess_close(session); }
};
struct PduFreer {
  void operator()(netsnmp_pdu *pdu) const { snmp_free_pdu(pdu); }
};
using Pdu = std::unique_ptr<netsnmp_pdu, PduFreer>;

// GET the OIDs in one request; the reply's values in their order, or
// nullptr when the agent fails, doesn't answer or answers other OIDs.
Pdu snmpGet(void *session, const std::vector<std::string> &oids)
{
  netsnmp_pdu *request = snmp_pdu_create(SNMP_MSG_GET);
  if (!request)
    return nullptr;
  std::vector<std::pair<std::array<oid, MAX_OID_LEN>, size_t>> names(oids.size());
  for (size_t i = 0; i < oids.size(); ++i) {
    if (!parseOid(oids[i], names[i].first.data(), names[i].second)) {
      snmp_free_pdu(request);
      return nullptr;
    }
    snmp_add_null_var(request, names[i].first.data(), names[i].second);
  }
  netsnmp_pdu *raw = nullptr;
  const int status = snmp_sess_synch_response(session, request, &raw);  // frees request
  Pdu response(raw);
  if (status != STAT_SUCCESS || !response || response->errstat != SNMP_ERR_NOERROR)
    return nullptr;
  size_t i = 0;
  for (netsnmp_variable_list *var = response->variables; var; var = var->next_variable, ++i)
    if (i >= names.size() || snmp_oid_compare(var->name, var->name_length, names[i].first.data(), names[i].second))
      return nullptr;
  return i == names.size() ? std::move(response) : nullptr;
}

// The markers' levels and the error state from the agent at host.
Reading querySnmp(const std::string &host, size_t markers)
{
  netsnmp_session settings;
  snmp_sess_init(&settings);
  std::string peer = "udp:" + (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":161";
  if (host.find(':') != std::string::npos)
    peer.replace(0, 3, "udp6");
  settings.peername = peer.data();
  settings.version = SNMP_VERSION_1;
  settings.community = reinterpret_cast<u_char *>(const_cast<char *>(kCommunity));
  settings.community_len = sizeof(kCommunity) - 1;
  settings.timeout = kSnmpTimeout;
  settings.retries = 0;
  Reading reading;
  const std::unique_ptr<void, SessionCloser> session(snmp_sess_open(&settings));
  if (!session)
    return reading;

  std::vector<std::string> oids;
  for (size_t k = 1; k <= markers; ++k)
    oids.push_back(std::string(supply::kLevelOid) + "." + std::to_string(k));
  Pdu levels = snmpGet(session.get(), oids);
  if (!levels)
    return reading;  // a silent agent isn't asked twice in a cycle
  std::vector<int> values;
  for (netsnmp_variable_list *var = levels->variables; var; var = var->next_variable) {
    const bool number = var->type == ASN_INTEGER || var->type == ASN_GAUGE;
    const std::optional<int> level = number && var->val_len == sizeof(long) ? ippLevel(*var->val.integer) : std::nullopt;
    if (!level)
      break;
    values.push_back(*level);
  }
  if (values.size() == markers)
    reading.levels = std::move(values);

  Pdu state = snmpGet(session.get(), {supply::kPrinterStateOid});
  const netsnmp_variable_list *var = state ? state->variables : nullptr;
  if (var && var->type == ASN_OCTET_STR && (var->val_len == 1 || var->val_len == 2))
    reading.state = var->val.string[0] << 8 | (var->val_len == 2 ? var->val.string[1] : 0);
  return reading;
}

}  // namespace

// One printer's last known supplies and state, and the query that runs.
class SupplyWatch {
public:
  explicit SupplyWatch(std::vector<Marker> markers, std::vector<std::pair<std::string, int>> cycleTimes)
      : markers_(std::move(markers)), cycleTimes_(std::move(cycleTimes))
  {
  }
  SupplyWatch(const SupplyWatch &) = delete;
  SupplyWatch &operator=(const SupplyWatch &) = delete;
  ~SupplyWatch()
  {
    if (worker_.joinable())
      worker_.join();
  }

  // Start a cycle when one is due and none runs; publish what is known.
  void poll(pappl_printer_t *printer)
  {
    publish(printer);
    const time_t now = time(nullptr);
    if (markers_.empty() || busy_ || now < nextCycle_)
      return;
    char scheme[32], user[256], host[256], resource[1024];
    int port = 0;
    const char *uri = papplPrinterGetDeviceURI(printer);
    if (!uri || httpSeparateURI(HTTP_URI_CODING_ALL, uri, scheme, sizeof(scheme), user, sizeof(user), host,
                                sizeof(host), &port, resource, sizeof(resource)) < HTTP_URI_STATUS_OK)
      return;
    const int cycle = cycleTime(scheme);
    nextCycle_ = cycle > 0 ? now + cycle : std::numeric_limits<time_t>::max();
    if (cycle <= 0)
      return;
    if (std::strcmp(scheme, "usb") == 0) {
      Reading reading;
      if (pappl_device_t *device = papplPrinterOpenDevice(printer)) {  // nullptr while a job prints
        char id[1024] = "";
        if (papplDeviceGetID(device, id, sizeof(id)))
          reading.levels = rtnLevels(id, markers_.size());
        papplPrinterCloseDevice(printer);
        record(reading);
      }
      return;
    }
    if (std::strcmp(scheme, "dnssd") == 0 || !*host)
      return;  // no address to ask
    if (worker_.joinable())
      worker_.join();  // it has ended: busy_ is false
    busy_ = true;
    try {
      worker_ = std::thread([this, address = std::string(host)] {
        record(querySnmp(address, markers_.size()));
        busy_ = false;
      });
    } catch (const std::system_error &) {
      busy_ = false;
    }
  }

  // Give the printer the levels and reasons last read, changing only the
  // reasons that changed.
  void publish(pappl_printer_t *printer)
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (published_ == generation_)
      return;
    std::vector<pappl_supply_t> supplies(levels_.size());
    for (size_t i = 0; i < levels_.size(); ++i) {
      supplies[i].color = colorOf(markers_[i].color);
      papplCopyString(supplies[i].description, markers_[i].name.c_str(), sizeof(supplies[i].description));
      supplies[i].is_consumed = true;
      supplies[i].level = levels_[i];
      supplies[i].type = typeOf(markers_[i].type);
    }
    papplPrinterSetSupplies(printer, static_cast<int>(supplies.size()), supplies.data());
    const pappl_preason_t reasons = reasonsOf(state_);
    papplPrinterSetReasons(printer, reasons & ~reasons_, reasons_ & ~reasons);
    reasons_ = reasons;
    published_ = generation_;
  }

private:
  int cycleTime(const char *scheme) const
  {
    for (const auto &[name, seconds] : cycleTimes_)
      if (name == scheme)
        return seconds;
    return supply::kDefaultCycleTime;
  }

  // Keep what was read; a part that wasn't read keeps its last value until
  // the printer has been silent for kSilentCycles.
  void record(const Reading &reading)
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    const std::vector<int> levels = levels_;
    const int state = state_;
    if (reading.levels)
      levels_ = *reading.levels;
    if (reading.state)
      state_ = *reading.state;
    silent_ = reading.levels || reading.state ? 0 : silent_ + 1;
    if (silent_ >= kSilentCycles) {
      levels_.clear();
      state_ = 0;
    }
    if (levels != levels_ || state != state_)
      ++generation_;
  }

  const std::vector<Marker> markers_;
  const std::vector<std::pair<std::string, int>> cycleTimes_;
  std::thread worker_;             // poll's thread alone starts and joins it
  std::atomic<bool> busy_ = false;  // a query runs
  time_t nextCycle_ = 0;
  std::mutex mutex_;                // guards what follows
  std::vector<int> levels_;         // empty: none known
  int state_ = 0;                   // error-state bits
  int silent_ = 0;                  // cycles without an answer in a row
  unsigned generation_ = 0, published_ = 0;
  pappl_preason_t reasons_ = PAPPL_PREASON_NONE;  // ours, as last published
};

std::shared_ptr<SupplyWatch> makeSupplyWatch(const Model &model)
{
  return std::make_shared<SupplyWatch>(model.markers, model.cycleTimes);
}

void startSnmp()
{
  netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
  netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
  netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
  // Numeric OIDs only: no MIB is read, and nothing is logged to stderr.
  netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_ERRORS, 0);
  netsnmp_ds_set_int(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_WARNINGS, 0);
  netsnmp_set_mib_directory("/nonexistent");
  snmp_disable_log();
  netsnmp_register_loghandler(NETSNMP_LOGHANDLER_NONE, LOG_DEBUG);
  init_snmp("arvex-printer-app");
}

namespace {

SupplyWatch *watchOf(pappl_printer_t *printer)
{
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(printer, &data);
  const auto *model = static_cast<const Model *>(data.extension);
  return model ? model->supplies.get() : nullptr;
}

}  // namespace

bool pollSupplies(pappl_system_t *system, void * /*data*/)
{
  papplSystemIteratePrinters(
      system,
      [](pappl_printer_t *printer, void *) {
        sweepSecrets(printer);
        if (SupplyWatch *watch = watchOf(printer))
          watch->poll(printer);
      },
      nullptr);
  return true;
}

bool copySupplies(pappl_printer_t *printer)
{
  if (SupplyWatch *watch = watchOf(printer))
    watch->publish(printer);
  return true;
}

}  // namespace arvex::app
