// One driver per model: the IPP capabilities and defaults that the model's
// PPD expresses, the user-authentication and job-control settings as vendor
// attributes, and the printer's identify and test-page callbacks.

#include "printer_app.h"

#include <arvex/frame.h>

#include "job_control.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <strings.h>
#include <unistd.h>

namespace arvex::app {

pappl_pr_driver_t kDrivers[] = {
    {"arvex-c5200", "Arvex C5200", "MFG:Arvex;MDL:C5200;", nullptr},
    {"arvex-c5000", "Arvex C5000", "MFG:Arvex;MDL:C5000;", nullptr},
    {"arvex-m4200", "Arvex M4200", "MFG:Arvex;MDL:M4200;", nullptr},
    {"arvex-m4000", "Arvex M4000", "MFG:Arvex;MDL:M4000;", nullptr},
};
const int kNumDrivers = sizeof(kDrivers) / sizeof(kDrivers[0]);

const VendorAttribute kVendorAttributes[] = {
    {"arvex-user-auth", IPP_TAG_BOOLEAN},      {"arvex-login-name-type", IPP_TAG_KEYWORD},
    {"arvex-login-name", IPP_TAG_TEXT},        {"arvex-login-password", IPP_TAG_TEXT},
    {"arvex-password-encryption", IPP_TAG_BOOLEAN}, {"arvex-encryption-key", IPP_TAG_TEXT},
    {"arvex-auth-charset", IPP_TAG_KEYWORD},
};
const int kNumVendorAttributes = sizeof(kVendorAttributes) / sizeof(kVendorAttributes[0]);
// In the order of their charset codes 2, 1, 9, 13, 33 (job_settings.cpp).
const char *const kCharsets[] = {"iso-8859-1", "shift_jis", "big5", "euc-kr", "utf-8"};
const int kNumCharsets = sizeof(kCharsets) / sizeof(kCharsets[0]);

namespace {

constexpr int kResolution = 300;  // dpi of the raster that PAPPL renders for us
const char *const kNameTypes[] = {"login-user-name", "defined-user-id"};

void deleteModel(pappl_printer_t * /*printer*/, pappl_pr_driver_data_t *data)
{
  delete static_cast<Model *>(data->extension);
  data->extension = nullptr;
}

// Show a message on the printer's panel: PJL RDYMSG, with the text reduced
// to what a PJL string may hold.
void identify(pappl_printer_t *printer, pappl_identify_actions_t /*actions*/, const char *message)
{
  std::string text = message && *message ? message : papplPrinterGetName(printer);
  text.resize(std::min<size_t>(text.size(), 40));
  for (char &c : text)
    if (c < 0x20 || c > 0x7e || c == '"')
      c = ' ';
  pappl_device_t *device = papplPrinterOpenDevice(printer);
  if (!device) {
    papplLogPrinter(printer, PAPPL_LOGLEVEL_WARN, "Identify: the printer is busy or can't be reached.");
    return;
  }
  const std::string pjl = ARVEX_PJL_UEL "@PJL\n@PJL RDYMSG DISPLAY = \"" + text + "\"\n" ARVEX_PJL_UEL;
  papplDeviceWrite(device, pjl.data(), pjl.size());
  papplDeviceFlush(device);
  papplPrinterCloseDevice(printer);
}

const char *testPage(pappl_printer_t *printer, char *buffer, size_t size)
{
  const std::string path = dataDirectory() + "/testpage.pdf";
  if (access(path.c_str(), R_OK) != 0) {
    papplLogPrinter(printer, PAPPL_LOGLEVEL_ERROR, "No test page at %s.", path.c_str());
    return nullptr;
  }
  papplCopyString(buffer, path.c_str(), size);
  return buffer;
}

// Media, sides, bins, colour and resolution from the model.
void describeModel(const Model &model, pappl_pr_driver_data_t *data)
{
  papplCopyString(data->make_and_model, model.makeAndModel.c_str(), sizeof(data->make_and_model));
  data->format = "application/pdf";
  data->ppm = model.pagesPerMinute > 0 ? model.pagesPerMinute : 1;
  data->ppm_color = model.color ? data->ppm : 0;
  data->kind = PAPPL_KIND_DOCUMENT;
  data->has_supplies = true;  // toner; the supplies page lists what the printer reports
  data->orient_default = IPP_ORIENT_PORTRAIT;
  data->quality_default = IPP_QUALITY_NORMAL;
  data->color_supported = model.color ? PAPPL_COLOR_MODE_AUTO | PAPPL_COLOR_MODE_COLOR | PAPPL_COLOR_MODE_MONOCHROME
                                      : PAPPL_COLOR_MODE_MONOCHROME;
  data->color_default = model.color ? PAPPL_COLOR_MODE_AUTO : PAPPL_COLOR_MODE_MONOCHROME;
  data->raster_types = PAPPL_PWG_RASTER_TYPE_SGRAY_8 | (model.color ? PAPPL_PWG_RASTER_TYPE_SRGB_8 : 0);
  data->num_resolution = 1;
  data->x_resolution[0] = data->y_resolution[0] = data->x_default = data->y_default = kResolution;

  data->sides_supported = PAPPL_SIDES_ONE_SIDED;
  for (const Choice &side : model.sides) {
    if (side.ipp == "two-sided-long-edge")
      data->sides_supported |= PAPPL_SIDES_TWO_SIDED_LONG_EDGE;
    else if (side.ipp == "two-sided-short-edge")
      data->sides_supported |= PAPPL_SIDES_TWO_SIDED_SHORT_EDGE;
  }
  data->sides_default = PAPPL_SIDES_ONE_SIDED;
  data->duplex = data->sides_supported != PAPPL_SIDES_ONE_SIDED ? PAPPL_DUPLEX_NORMAL : PAPPL_DUPLEX_NONE;

  data->left_right = model.marginX;
  data->bottom_top = model.marginY;
  for (const Choice &media : model.media)
    if (data->num_media < PAPPL_MAX_MEDIA)
      data->media[data->num_media++] = media.ipp.c_str();
  pappl_media_col_t &ready = data->media_ready[0];
  const pwg_media_t *size = pwgMediaForPWG(model.defaultMedia.c_str());
  papplCopyString(ready.size_name, model.defaultMedia.c_str(), sizeof(ready.size_name));
  ready.size_width = size ? size->width : 0;
  ready.size_length = size ? size->length : 0;
  ready.left_margin = ready.right_margin = model.marginX;
  ready.bottom_margin = ready.top_margin = model.marginY;
  papplCopyString(ready.source, "auto", sizeof(ready.source));
  papplCopyString(ready.type, "stationery", sizeof(ready.type));
  data->num_source = 1;
  data->source[0] = "auto";
  data->num_type = 1;
  data->type[0] = "stationery";
  data->media_default = ready;

  for (const Choice &bin : model.outputBins) {
    if (data->num_bin >= PAPPL_MAX_BIN)
      break;
    if (bin.ipp == model.defaultOutputBin)
      data->bin_default = data->num_bin;
    data->bin[data->num_bin++] = bin.ipp.c_str();
  }
}

// The model's icons of 48, 128 and 512 pixels, where the build installed
// them; a missing file leaves PAPPL's own icon in its place.
void setIcons(const Model &model, pappl_pr_driver_data_t *data)
{
  const char *const sizes[] = {"48", "128", "512"};
  for (int i = 0; i < 3; ++i) {
    const std::string path =
        dataDirectory() + "/arvex-" + (model.color ? "colour" : "mono") + "-" + sizes[i] + ".png";
    if (access(path.c_str(), R_OK) == 0)
      papplCopyString(data->icons[i].filename, path.c_str(), sizeof(data->icons[i].filename));
  }
}

// The user-authentication vendor attributes, with the PPD's defaults. The
// password and key are no vendor attributes, which PAPPL's page "Printing
// Defaults" would show in text boxes: jobs bring them all the same, and
// their defaults are set apart (secret_settings.cpp).
void describeUserAuth(const Model &model, pappl_pr_driver_data_t *data, ipp_t *attrs)
{
  for (int i = 0; i < kNumVendorAttributes; ++i)
    if (!isSecret(kVendorAttributes[i].name))
      data->vendor[data->num_vendor++] = kVendorAttributes[i].name;
  ippAddBoolean(attrs, IPP_TAG_PRINTER, "arvex-user-auth-supported", 1);
  ippAddBoolean(attrs, IPP_TAG_PRINTER, "arvex-user-auth-default", model.authEnabled);
  ippAddStrings(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), "arvex-login-name-type-supported", 2,
                nullptr, kNameTypes);
  ippAddString(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), "arvex-login-name-type-default", nullptr,
               kNameTypes[model.authDefinedUserId ? 1 : 0]);
  ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_TEXT, "arvex-login-name-default", nullptr, "");
  ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_TEXT, "arvex-login-password-default", nullptr, "");
  ippAddBoolean(attrs, IPP_TAG_PRINTER, "arvex-password-encryption-supported", 1);
  ippAddBoolean(attrs, IPP_TAG_PRINTER, "arvex-password-encryption-default", model.authEncryption);
  ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_TEXT, "arvex-encryption-key-default", nullptr, "");
  ippAddStrings(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), "arvex-auth-charset-supported",
                kNumCharsets, nullptr, kCharsets);
  ippAddString(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), "arvex-auth-charset-default", nullptr,
               kCharsets[0]);
}

}  // namespace

bool driverCallback(pappl_system_t *system, const char *driverName, const char * /*deviceUri*/,
                    const char * /*deviceId*/, pappl_pr_driver_data_t *data, ipp_t **attrs, void * /*context*/)
{
  auto model = std::make_unique<Model>();
  std::string error;
  if (!loadModel(ppdDirectory() + "/" + driverName + ".ppd", *model, error)) {
    papplLog(system, PAPPL_LOGLEVEL_ERROR, "Driver %s: %s.", driverName, error.c_str());
    return false;
  }
  model->psPpdPath = ppdDirectory() + "/" + driverName + "-ps.ppd";
  data->delete_cb = deleteModel;
  data->identify_cb = identify;
  data->identify_supported = data->identify_default = PAPPL_IDENTIFY_ACTIONS_DISPLAY;
  data->testpage_cb = testPage;
  data->status_cb = copySupplies;
  data->printfile_cb = printPdf;
  data->rstartjob_cb = rasterStartJob;
  data->rstartpage_cb = rasterStartPage;
  data->rwriteline_cb = rasterWriteLine;
  data->rendpage_cb = rasterEndPage;
  data->rendjob_cb = rasterEndJob;
  describeModel(*model, data);
  setIcons(*model, data);
  model->supplies = makeSupplyWatch(*model);
  *attrs = ippNew();
  // The printer renders the PDF itself, with its own rendering intent, and
  // no attributes are preferred over others.
  ippAddString(*attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), "print-rendering-intent-default", nullptr,
               "auto");
  ippAddString(*attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), "print-rendering-intent-supported", nullptr,
               "auto");
  ippAddBoolean(*attrs, IPP_TAG_PRINTER, "preferred-attributes-supported", 0);
  if (model->userAuth)
    describeUserAuth(*model, data, *attrs);
  describeJobControl(*model, data, *attrs);
  data->extension = model.release();  // media and bin names point into it
  return true;
}

// A USB printer whose device ID says MFG:Arvex;MDL:<model> gets that
// model's driver.
const char *autoAddCallback(const char * /*deviceInfo*/, const char * /*deviceUri*/, const char *deviceId,
                            void * /*context*/)
{
  cups_option_t *pairs = nullptr;
  const int count = papplDeviceParseID(deviceId, &pairs);
  const char *make = cupsGetOption("MFG", count, pairs);
  const char *model = cupsGetOption("MDL", count, pairs);
  std::string name = "arvex-";
  for (const char *p = model; p && *p; ++p)
    name += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
  const char *driver = nullptr;
  for (int i = 0; make && model && strcasecmp(make, "Arvex") == 0 && i < kNumDrivers; ++i)
    if (name == kDrivers[i].name)
      driver = kDrivers[i].name;
  cupsFreeOptions(count, pairs);
  return driver;
}

}  // namespace arvex::app
