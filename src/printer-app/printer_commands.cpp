// The sub-commands "delete -d NAME" and "default -d NAME" by the printer's
// real ID. PAPPL 1.3.1 gives a printer added while the server runs the
// printer-id it was created with, 0, in its attributes (the system numbers
// it only afterwards), until the server restarts; its own sub-commands read
// the ID from there and fail with "Unable to get information for printer".
// The system's system-configured-printers carry the real IDs: these take the
// ID from there and send the request PAPPL's would.

#include "printer_app.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace arvex::app {

namespace {

struct HttpCloser {
  void operator()(http_t *http) const { httpClose(http); }
};
struct IppDeleter {
  void operator()(ipp_t *ipp) const { ippDelete(ipp); }
};
using Ipp = std::unique_ptr<ipp_t, IppDeleter>;

Ipp systemRequest(ipp_op_t op)
{
  Ipp request(ippNewRequest(op));
  ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_URI, "system-uri", nullptr, "ipp://localhost/ipp/system");
  ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
  return request;
}

// The ID of the printer named name; 0 when there is none.
int printerId(http_t *http, const char *name)
{
  Ipp request = systemRequest(IPP_OP_GET_SYSTEM_ATTRIBUTES);
  ippAddString(request.get(), IPP_TAG_OPERATION, IPP_CONST_TAG(IPP_TAG_KEYWORD), "requested-attributes", nullptr,
               "system-configured-printers");
  const Ipp response(cupsDoRequest(http, request.release(), "/ipp/system"));
  ipp_attribute_t *printers = ippFindAttribute(response.get(), "system-configured-printers", IPP_TAG_BEGIN_COLLECTION);
  for (int i = 0; i < ippGetCount(printers); ++i) {
    ipp_t *printer = ippGetCollection(printers, i);
    const char *printerName = ippGetString(ippFindAttribute(printer, "printer-name", IPP_TAG_ZERO), 0, nullptr);
    if (printerName && std::strcmp(printerName, name) == 0)
      return ippGetInteger(ippFindAttribute(printer, "printer-id", IPP_TAG_INTEGER), 0);
  }
  return 0;
}

}  // namespace

int runByPrinterId(int argc, char *argv[], const std::string &socket)
{
  // Only the plain form, "delete -d NAME" or "default -d NAME", of a server
  // that runs; PAPPL does the rest (a server it starts reads the IDs from
  // the state file, where they are right).
  struct stat info {};
  if (argc != 4 || std::strcmp(argv[2], "-d") != 0 || stat(socket.c_str(), &info) != 0)
    return -1;
  const bool remove = std::strcmp(argv[1], "delete") == 0;
  if (!remove && std::strcmp(argv[1], "default") != 0)
    return -1;
  const char *name = argv[3];
  const std::unique_ptr<http_t, HttpCloser> http(
      httpConnect2(socket.c_str(), 0, nullptr, AF_UNSPEC, HTTP_ENCRYPTION_IF_REQUESTED, 1, 30000, nullptr));
  if (!http)
    return -1;
  const int id = printerId(http.get(), name);
  if (id == 0) {
    std::fprintf(stderr, "%s: Unable to get information for '%s': %s\n", argv[0], name,
                 cupsLastError() == IPP_STATUS_OK ? "no such printer" : cupsLastErrorString());
    return 1;
  }
  Ipp request = systemRequest(remove ? IPP_OP_DELETE_PRINTER : IPP_OP_SET_SYSTEM_ATTRIBUTES);
  if (remove)
    ippAddInteger(request.get(), IPP_TAG_OPERATION, IPP_TAG_INTEGER, "printer-id", id);
  else
    ippAddInteger(request.get(), IPP_TAG_SYSTEM, IPP_TAG_INTEGER, "system-default-printer-id", id);
  const Ipp response(cupsDoRequest(http.get(), request.release(), "/ipp/system"));
  if (cupsLastError() != IPP_STATUS_OK) {
    std::fprintf(stderr, "%s: Unable to %s: %s\n", argv[0], remove ? "delete printer" : "set default printer",
                 cupsLastErrorString());
    return 1;
  }
  return 0;
}

}  // namespace arvex::app
