// arvex-printer-app: an IPP Everywhere Printer Application on PAPPL for
// Arvex printers, which sends each printer the bytes arvex-pdf-filter would.
#ifndef ARVEX_APP_PRINTER_APP_H
#define ARVEX_APP_PRINTER_APP_H

#include <arvex/cups.h>

#include <pappl/pappl.h>

#include <string>
#include <vector>

#include "job_head.h"
#include "job_secrets.h"
#include "model.h"

namespace arvex::app {

// Where the models' PPDs and the application's data files are:
// build-time defaults, or $ARVEX_PPD_DIR and $ARVEX_PRINTER_APP_DATADIR.
std::string ppdDirectory();
std::string dataDirectory();

// The drivers, one per model, and their callbacks (driver.cpp).
extern pappl_pr_driver_t kDrivers[];
extern const int kNumDrivers;
bool driverCallback(pappl_system_t *system, const char *driverName, const char *deviceUri, const char *deviceId,
                    pappl_pr_driver_data_t *data, ipp_t **attrs, void *context);
const char *autoAddCallback(const char *deviceInfo, const char *deviceUri, const char *deviceId, void *context);

// The job attributes that set user authentication. Their values go into the
// PPD marking (and the login name into PJL lines).
struct VendorAttribute {
  const char *name;
  ipp_tag_t type;  // boolean, keyword or text
};
extern const VendorAttribute kVendorAttributes[];
extern const int kNumVendorAttributes;
constexpr size_t kMaxVendorText = 128;  // bytes, as the PPD's custom texts allow
extern const char *const kCharsets[];   // arvex-auth-charset keywords
extern const int kNumCharsets;

// Why a vendor attribute's value (which must have type) can't be used:
// another type, several values, over kMaxVendorText bytes or not
// isPjlSafe; nullptr when it can.
const char *vendorProblem(ipp_attribute_t *attr, ipp_tag_t type);

// Whether a value may stand inside a quoted PJL line: no control character
// (C0, DEL, C1 as UTF-8) and no double quote.
bool isPjlSafe(const char *value);

// The model of the job's printer.
const Model &modelOf(pappl_job_t *job);

// A job's values of vendor attributes: its own, else the printer's
// NAME-default (PAPPL 1.3.1 looks for the default among the job's
// attributes and so never finds it).
class JobValues {
public:
  explicit JobValues(pappl_job_t *job);
  ~JobValues();
  JobValues(const JobValues &) = delete;
  JobValues &operator=(const JobValues &) = delete;
  ipp_attribute_t *find(const char *name) const;
  bool own(const char *name) const;  // the job has a value of its own

private:
  pappl_job_t *job_;
  ipp_t *defaults_;  // a copy of the printer's, owned
};

// The filter arguments of a job: its PPD options from the job's attributes,
// else the printer's defaults, with the job's secrets (else the printer's).
// false, with the job's message set, when a value can't go to the printer.
// copies is "1" for raster jobs, whose copies PAPPL renders itself.
bool jobRequest(pappl_job_t *job, pappl_pr_options_t *options, const Model &model, bool raster,
                const SecretValues &secrets, JobRequest &request);

// A job's bytes on their way to the printer: the head and data written,
// then finish() writes the trailer (also for a cancelled job) and checks
// that everything went out. false, with the job's message set, when the
// device fails.
class DeviceStream {
public:
  DeviceStream(pappl_job_t *job, pappl_device_t *device);
  bool write(const void *bytes, size_t size);
  bool finish();

private:
  pappl_job_t *job_;
  pappl_device_t *device_;
  pappl_devmetrics_t before_ = {};
  size_t sent_ = 0;
};

// Send head, the bytes of fd from its current offset, and the trailer to
// the device. A job cancelled meanwhile still gets the trailer. false,
// with the job's message set, when the device fails.
bool sendJob(pappl_job_t *job, pappl_device_t *device, const std::string &head, int fd);

// Print a job's PDF (its document, or what a raster job became) from fd: as
// the PDF filter sends it, or, when the job's settings need the job-control
// library, as PostScript with the block put in. secrets are the job's own.
bool printDocument(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device, int fd, bool raster,
                   const SecretValues &secrets);

// The PostScript way (print_postscript.cpp): Ghostscript makes the PDF of
// fd PostScript, the job-control block and comment lines of the model's
// PostScript PPD and control (the library's job options) go into it as
// arvex-ps-filter puts them, and it goes in the frame of request's head with
// ENTER LANGUAGE = POSTSCRIPT. Nothing reaches the printer when Ghostscript
// or the block fails.
bool sendPostScriptJob(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device,
                       const JobRequest &request, const std::string &control, int fd);

// The printer callbacks (print_pdf.cpp, print_raster.cpp).
bool printPdf(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device);
bool rasterStartJob(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device);
bool rasterStartPage(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device, unsigned page);
bool rasterWriteLine(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device, unsigned y,
                     const unsigned char *line);
bool rasterEndPage(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device, unsigned page);
bool rasterEndJob(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device);

// Supplies and printer states (snmp_supplies.cpp): startSnmp before any
// thread asks; pollSupplies is the system's timer, every second;
// copySupplies the printers' status callback.
std::shared_ptr<SupplyWatch> makeSupplyWatch(const Model &model);
void startSnmp();
bool pollSupplies(pappl_system_t *system, void *data);
bool copySupplies(pappl_printer_t *printer);

// Forget the default passwords and keys of printers deleted (the deletion
// callback can't tell a deletion from the server's end); whether any went.
bool forgetDeletedSecrets(pappl_system_t *system);

// The sub-commands "delete -d NAME" and "default -d NAME" by the printer's
// real ID, for a server that runs (printer_commands.cpp): their exit status,
// or -1 to leave the command line to PAPPL.
int runByPrinterId(int argc, char *argv[], const std::string &socket);

// Who may print and administer (pam_login.cpp). With a PAM service, a
// client's Basic credentials must pass it and the user must belong to group
// (groupId), unless group is empty; user is then the authenticated name.
// HTTP_STATUS_CONTINUE, _UNAUTHORIZED, _FORBIDDEN or _BAD_REQUEST.
void setAuthService(const char *name);
bool hasAuthService();
http_status_t authenticate(pappl_client_t *client, const char *group, gid_t groupId, std::string &user);

// The printers' default passwords and keys (secret_settings.cpp), kept out
// of their attributes, where the value reads kSecretSet when one is set.
constexpr char kSecretSet[] = "(set)";
bool isSecret(const char *vendorName);  // name without "-default"
// The secrets the printer's model has (those its driver gave a NAME-default)
// and whether one is set.
std::vector<std::string> secretNames(pappl_printer_t *printer);
bool hasSecret(pappl_printer_t *printer, const char *vendorName);
// Set (a value) or remove ("") the printer's secrets named in changes; its
// attributes show the change at once.
void changeSecrets(pappl_printer_t *printer, const SecretValues &changes);
// Make the printer's attributes show which secrets are set (after loading).
void showSecrets(pappl_printer_t *printer);
// Move the secret defaults of a Set-Printer-Attributes request into the
// store, out of the request.
void keepSecrets(pappl_printer_t *printer, ipp_t *request);
// Move secret defaults that stand in the printer's attributes (a state file
// of an older version) into the store.
void sweepSecrets(pappl_printer_t *printer);
std::string secretOf(pappl_printer_t *printer, const char *vendorName);  // "" when unset
bool saveSecrets(const std::string &path);  // mode 0600
std::string hex(const std::string &bytes);  // two lower-case hex digits a byte
void loadSecrets(const std::string &path);

// The web pages (web_pages.cpp): the labels of the vendor attributes and
// their keywords in English, Japanese, Traditional Chinese and Korean, and
// each printer's page "Passwords and Keys" (the printer-creation callback).
void addWebStrings(pappl_system_t *system);
void addPrinterPages(pappl_printer_t *printer, void *data);

// Refuse requests whose values can't go to the printer, before PAPPL
// creates a job for them (request_check.cpp).
http_status_t checkRequest(pappl_client_t *client, const char *group, gid_t groupId, void *context);

}  // namespace arvex::app

#endif
