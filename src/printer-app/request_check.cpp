// Requests whose values can't go to the printer are refused with
// client-error-attributes-or-values-not-supported before a job exists, and
// the secrets of those that can leave them for the store (job_secrets.h).
//
// PAPPL 1.3.1 has no hook to validate job attributes; the authorization
// callback is the one place where the application sees a job-creating
// request before PAPPL acts on it. A refused request is answered here; PAPPL
// then meets a request with its document data already read (Print-Job) or
// with an error status already set (Set-Printer-Attributes), or a copies
// value of 0 (Create-Job, Validate-Job), and stops without a job or a second
// answer. The job's own check when it prints (jobRequest) catches the values
// that don't come through here: jobs submitted over the local domain socket
// and defaults saved from the web form.
//
// With the callback set, PAPPL asks remote clients to upgrade to TLS before
// authorizing them. Without a PAM service they may then print, and only
// local clients administer the printers, as PAPPL allows without an
// authentication service; with one, printing takes the printer's print
// group and administration the administrators' group.

#include "printer_app.h"

#include <cstring>
#include <grp.h>
#include <unistd.h>

#include "job_control.h"

namespace arvex::app {

namespace {

// The operations that any client may ask of a printer.
bool isPrintOperation(ipp_op_t op)
{
  switch (op) {
  case IPP_OP_PRINT_JOB:
  case IPP_OP_VALIDATE_JOB:
  case IPP_OP_CREATE_JOB:
  case IPP_OP_SEND_DOCUMENT:
  case IPP_OP_CANCEL_JOB:
  case IPP_OP_GET_JOB_ATTRIBUTES:
  case IPP_OP_GET_JOBS:
  case IPP_OP_CANCEL_MY_JOBS:
  case IPP_OP_CLOSE_JOB:
  case IPP_OP_CANCEL_CURRENT_JOB:
  case IPP_OP_CREATE_PRINTER_SUBSCRIPTIONS:
  case IPP_OP_CREATE_JOB_SUBSCRIPTIONS:
  case IPP_OP_GET_SUBSCRIPTION_ATTRIBUTES:
  case IPP_OP_GET_SUBSCRIPTIONS:
  case IPP_OP_RENEW_SUBSCRIPTION:
  case IPP_OP_CANCEL_SUBSCRIPTION:
  case IPP_OP_GET_NOTIFICATIONS:
    return true;
  default:
    return false;
  }
}

// The first attribute of the request that can't go to the printer, with
// the reason.
ipp_attribute_t *unusable(ipp_t *request, ipp_op_t op, std::string &why)
{
  const bool settings = op == IPP_OP_SET_PRINTER_ATTRIBUTES;
  if (!settings) {
    for (const char *name : {"job-name", "requesting-user-name"}) {
      ipp_attribute_t *attr = ippFindAttribute(request, name, IPP_TAG_ZERO);
      const char *value = attr ? ippGetString(attr, 0, nullptr) : nullptr;
      if (value && !isPjlSafe(value)) {
        why = std::string(name) + " holds a control character or a double quote";
        return attr;
      }
    }
  }
  for (int i = 0; i < kNumVendorAttributes; ++i) {
    const std::string name = std::string(kVendorAttributes[i].name) + (settings ? "-default" : "");
    ipp_attribute_t *attr = ippFindAttribute(request, name.c_str(), IPP_TAG_ZERO);
    if (const char *problem = attr ? vendorProblem(attr, kVendorAttributes[i].type) : nullptr) {
      why = name + " " + problem;
      return attr;
    }
  }
  for (ipp_attribute_t *attr = ippFirstAttribute(request); attr; attr = ippNextAttribute(request)) {
    std::string name = ippGetName(attr) ? ippGetName(attr) : "";
    if (settings && name.ends_with("-default"))
      name.resize(name.size() - std::strlen("-default"));
    if (const char *problem = jobControlProblem(attr, name.c_str())) {
      why = std::string(ippGetName(attr)) + " " + problem;
      return attr;
    }
  }
  return nullptr;
}

void discardDocument(pappl_client_t *client)
{
  char discard[8192];
  while (httpRead2(papplClientGetHTTP(client), discard, sizeof(discard)) > 0) {
  }
}

// Answer the request with the refusal and leave PAPPL nothing to do.
void refuse(pappl_client_t *client, ipp_t *request, ipp_attribute_t *attr, const std::string &why)
{
  papplClientRespondIPP(client, IPP_STATUS_ERROR_ATTRIBUTES_OR_VALUES, "%s.", why.c_str());
  // The attribute goes back without its value, which may be the very text
  // that must not travel.
  ippAddOutOfBand(papplClientGetResponse(client), IPP_TAG_UNSUPPORTED_GROUP, IPP_TAG_UNSUPPORTED_VALUE,
                  ippGetName(attr));
  discardDocument(client);
  ipp_t *response = papplClientGetResponse(client);
  papplClientRespond(client, HTTP_STATUS_OK, nullptr, "application/ipp", 0, ippLength(response));
  ippDeleteAttribute(request, ippFindAttribute(request, "copies", IPP_TAG_ZERO));
  ippAddInteger(request, IPP_TAG_JOB, IPP_TAG_INTEGER, "copies", 0);
  // PAPPL 1.3.1 aborts the job of a Send-Document it refuses but leaves it
  // among the printer's active jobs: queued-job-count counts it for good,
  // and a server told to stop waits 60 s for it. Cancelled here, before
  // PAPPL sees the request, the job ends for good.
  pappl_printer_t *printer = papplClientGetPrinter(client);
  if (ippGetOperation(request) == IPP_OP_SEND_DOCUMENT && printer) {
    if (pappl_job_t *job =
            papplPrinterFindJob(printer, ippGetInteger(ippFindAttribute(request, "job-id", IPP_TAG_INTEGER), 0))) {
      papplJobSetMessage(job, "%s.", why.c_str());
      papplJobSetReasons(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, PAPPL_JREASON_NONE);
      papplJobCancel(job);
    }
  }
}

// PAPPL 1.3.1 starts a thread for the first pending job of a printer
// without marking it; a second look for work before that thread runs (as
// when another document arrives) starts the same job on a second thread,
// and the two corrupt the server. A document that arrives while a printer's
// next job is starting waits (at most two seconds) until it has started.
void waitForJobStart(pappl_printer_t *printer)
{
  auto starting = [printer] {
    int counts[2] = {0, 0};  // pending, processing
    papplPrinterIterateActiveJobs(
        printer,
        [](pappl_job_t *job, void *data) {
          const ipp_jstate_t state = papplJobGetState(job);
          static_cast<int *>(data)[0] += state == IPP_JSTATE_PENDING;
          static_cast<int *>(data)[1] += state == IPP_JSTATE_PROCESSING;
        },
        counts, 1, 0);
    return counts[0] > 0 && counts[1] == 0 && papplPrinterGetState(printer) != IPP_PSTATE_STOPPED;
  };
  for (int i = 0; i < 200 && starting(); ++i)
    usleep(10000);
}

}  // namespace

http_status_t checkRequest(pappl_client_t *client, const char *group, gid_t groupId, void * /*context*/)
{
  ipp_t *request = papplClientGetRequest(client);
  const ipp_op_t op = request ? ippGetOperation(request) : IPP_OP_CUPS_NONE;
  if (hasAuthService()) {
    // Without an administrators' group nobody administers over the network.
    if (!isPrintOperation(op) && (!group || !*group))
      return HTTP_STATUS_FORBIDDEN;
    // Reading jobs takes the print group: PAPPL asks for the administrators'
    // group when the job isn't the client's, which it can't tell here.
    char printGroup[256] = "";
    pappl_printer_t *printer = papplClientGetPrinter(client);
    if (printer && (op == IPP_OP_GET_JOB_ATTRIBUTES || op == IPP_OP_GET_JOBS)) {
      papplPrinterGetPrintGroup(printer, printGroup, sizeof(printGroup));
      struct group entry {}, *found = nullptr;
      char buffer[16384];
      if (*printGroup)
        getgrnam_r(printGroup, &entry, buffer, sizeof(buffer), &found);
      group = printGroup;
      groupId = found ? found->gr_gid : static_cast<gid_t>(-1);
    }
    std::string user;
    const http_status_t status = authenticate(client, group, groupId, user);
    if (status != HTTP_STATUS_CONTINUE) {
      // The client reads the answer once it has sent its document.
      if (op == IPP_OP_PRINT_JOB || op == IPP_OP_SEND_DOCUMENT)
        discardDocument(client);
      return status;
    }
    // Jobs carry the name that was authenticated, not the one claimed.
    ipp_attribute_t *claimed = request ? ippFindAttribute(request, "requesting-user-name", IPP_TAG_ZERO) : nullptr;
    if (claimed)
      ippSetString(request, &claimed, 0, user.c_str());
    else if (request)
      ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, user.c_str());
  } else if (!httpAddrLocalhost(httpGetAddress(papplClientGetHTTP(client))) && !isPrintOperation(op)) {
    return HTTP_STATUS_FORBIDDEN;
  }

  std::string why;
  const bool jobRequest = op == IPP_OP_PRINT_JOB || op == IPP_OP_CREATE_JOB || op == IPP_OP_VALIDATE_JOB ||
                          op == IPP_OP_SEND_DOCUMENT;
  if (jobRequest || op == IPP_OP_SET_PRINTER_ATTRIBUTES) {
    if (ipp_attribute_t *attr = unusable(request, op, why)) {
      refuse(client, request, attr, why);
      return HTTP_STATUS_CONTINUE;
    }
  }
  // The job's secrets leave the request for the store before PAPPL makes
  // (or finds) the job, which would show them to every client.
  ipp_attribute_t *secret = nullptr;
  if (jobRequest && !takeRequestSecrets(client, request, op, secret, why)) {
    refuse(client, request, secret, why);
    return HTTP_STATUS_CONTINUE;
  }
  if (op == IPP_OP_SET_PRINTER_ATTRIBUTES && papplClientGetPrinter(client))
    keepSecrets(papplClientGetPrinter(client), request);
  if ((op == IPP_OP_PRINT_JOB || op == IPP_OP_SEND_DOCUMENT) && papplClientGetPrinter(client))
    waitForJobStart(papplClientGetPrinter(client));
  return HTTP_STATUS_CONTINUE;
}

}  // namespace arvex::app
