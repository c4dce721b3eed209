// A job's IPP attributes as the filter's arguments: the PPD choices they
// mark, with the printer's defaults where the job has none.

#include "printer_app.h"

#include <cstring>
#include <memory>
#include <vector>

namespace arvex::app {

namespace {

const int kCharsetCodes[] = {2, 1, 9, 13, 33};  // of kCharsets, in order

// The job's value of a user-authentication setting as the PPD marking wants
// it; false with the job's message set when it can't be used. A secret is
// the job's own (from the store), else the printer's default.
bool authValue(pappl_job_t *job, const JobValues &values, const SecretValues &secrets, const VendorAttribute &spec,
               std::string &value)
{
  if (isSecret(spec.name)) {
    const std::string *secret = secrets.find(spec.name);
    value = secret ? *secret : secretOf(papplJobGetPrinter(job), spec.name);
    return true;
  }
  ipp_attribute_t *attr = values.find(spec.name);
  if (!attr)
    return true;
  if (const char *problem = vendorProblem(attr, spec.type)) {
    papplJobSetMessage(job, "%s %s.", spec.name, problem);
    return false;
  }
  if (ippGetValueTag(attr) == IPP_TAG_BOOLEAN)
    value = ippGetBoolean(attr, 0) ? "True" : "False";
  else
    value = ippGetString(attr, 0, nullptr);
  return true;
}

void addOption(std::string &options, const char *name, const std::string &value)
{
  if (!options.empty())
    options += ' ';
  options.append(name).append("=").append(value);
}

// Custom.<text>, or None for an empty text.
std::string customText(const std::string &text)
{
  return text.empty() ? "None" : "Custom." + optionValue(text);
}

// The user-authentication settings as PPD options and the charset option.
bool addUserAuth(pappl_job_t *job, const SecretValues &secrets, std::string &options)
{
  const JobValues values(job);
  std::vector<std::string> v(kNumVendorAttributes);
  for (int i = 0; i < kNumVendorAttributes; ++i)
    if (!authValue(job, values, secrets, kVendorAttributes[i], v[i]))
      return false;
  // In the order of kVendorAttributes.
  if (!v[0].empty())
    addOption(options, "AXEnableUserAuth", v[0]);
  if (!v[1].empty())
    addOption(options, "AXAuthLoginUserNameType", v[1] == "defined-user-id" ? "DefinedUserID" : "LoginUserName");
  addOption(options, "AXAuthLoginUserNameText", customText(v[2]));
  addOption(options, "AXAuthLoginPassword", customText(v[3]));
  if (!v[4].empty())
    addOption(options, "AXAuthEnableEncryption", v[4]);
  addOption(options, "AXAuthEncryptionKey", customText(v[5]));
  int code = kCharsetCodes[0];
  for (int i = 0; i < kNumCharsets; ++i)
    if (v[6] == kCharsets[i])
      code = kCharsetCodes[i];
  addOption(options, "com.arvex.printsettings.UserAuth.AuthLanguage", std::to_string(code));
  return true;
}

const char *sidesKeyword(pappl_sides_t sides)
{
  return sides == PAPPL_SIDES_TWO_SIDED_LONG_EDGE    ? "two-sided-long-edge"
         : sides == PAPPL_SIDES_TWO_SIDED_SHORT_EDGE ? "two-sided-short-edge"
                                                     : "one-sided";
}

const char *colorKeyword(pappl_color_mode_t mode)
{
  return mode == PAPPL_COLOR_MODE_COLOR ? "color" : mode == PAPPL_COLOR_MODE_MONOCHROME ? "monochrome" : "auto";
}

// The job's keyword attribute, else the printer's default.
std::string keyword(pappl_job_t *job, const char *name, const char *printerDefault)
{
  const char *value = ippGetString(papplJobGetAttribute(job, name), 0, nullptr);
  return value ? value : printerDefault;
}

}  // namespace

const char *vendorProblem(ipp_attribute_t *attr, ipp_tag_t type)
{
  const ipp_tag_t tag = ippGetValueTag(attr);
  const bool text = tag == IPP_TAG_TEXT || tag == IPP_TAG_TEXTLANG || tag == IPP_TAG_NAME;
  if (ippGetCount(attr) != 1 || !(tag == type || (type == IPP_TAG_TEXT && text)))
    return "has the wrong type";
  if (tag == IPP_TAG_BOOLEAN)
    return nullptr;
  const char *value = ippGetString(attr, 0, nullptr);
  if (std::strlen(value) > kMaxVendorText)
    return "is too long";
  return isPjlSafe(value) ? nullptr : "holds a control character or a double quote";
}

bool isPjlSafe(const char *value)
{
  for (const auto *p = reinterpret_cast<const unsigned char *>(value); *p; ++p) {
    const bool c1 = p[0] == 0xc2 && p[1] >= 0x80 && p[1] <= 0x9f;  // U+0080 to U+009F
    if (*p < 0x20 || *p == 0x7f || *p == '"' || c1)
      return false;
  }
  return true;
}

const Model &modelOf(pappl_job_t *job)
{
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(papplJobGetPrinter(job), &data);
  return *static_cast<const Model *>(data.extension);
}

JobValues::JobValues(pappl_job_t *job) : job_(job), defaults_(papplPrinterGetDriverAttributes(papplJobGetPrinter(job)))
{
}

JobValues::~JobValues()
{
  ippDelete(defaults_);
}

ipp_attribute_t *JobValues::find(const char *name) const
{
  if (ipp_attribute_t *attr = papplJobGetAttribute(job_, name))
    return attr;
  return ippFindAttribute(defaults_, (std::string(name) + "-default").c_str(), IPP_TAG_ZERO);
}

bool JobValues::own(const char *name) const
{
  return papplJobGetAttribute(job_, name) != nullptr;
}

bool jobRequest(pappl_job_t *job, pappl_pr_options_t *options, const Model &model, bool raster,
                const SecretValues &secrets, JobRequest &request)
{
  request.ppdPath = model.ppdPath;
  request.jobId = std::to_string(papplJobGetID(job));
  request.user = papplJobGetUsername(job) ? papplJobGetUsername(job) : "";
  request.title = papplJobGetName(job) ? papplJobGetName(job) : "";
  request.copies = std::to_string(raster ? 1 : options->copies);
  if (!isPjlSafe(request.user.c_str()) || !isPjlSafe(request.title.c_str())) {
    papplJobSetMessage(job, "The job name or user name holds a control character or a double quote.");
    return false;
  }

  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(papplJobGetPrinter(job), &data);
  std::string &opts = request.options;
  opts.clear();
  if (const std::string *size = ppdChoiceFor(model.media, options->media.size_name))
    addOption(opts, "PageSize", *size);
  if (const std::string *duplex = ppdChoiceFor(model.sides, keyword(job, "sides", sidesKeyword(data.sides_default))))
    addOption(opts, "Duplex", *duplex);
  if (model.collate) {
    const bool uncollated = keyword(job, "multiple-document-handling", "") == "separate-documents-uncollated-copies";
    addOption(opts, "Collate", uncollated ? "False" : "True");
  }
  if (const std::string *bin = ppdChoiceFor(model.outputBins, options->output_bin))
    addOption(opts, "OutputBin", *bin);
  const std::string mode = keyword(job, "print-color-mode", colorKeyword(data.color_default));
  const std::string *colorModel = nullptr;
  if (mode == "color")
    colorModel = ppdChoiceFor(model.colorModes, "color");
  else if (mode != "auto")  // monochrome, auto-monochrome, process-monochrome, bi-level
    colorModel = ppdChoiceFor(model.colorModes, "monochrome");
  if (colorModel)
    addOption(opts, "ColorModel", *colorModel);
  return !model.userAuth || addUserAuth(job, secrets, opts);
}

}  // namespace arvex::app
