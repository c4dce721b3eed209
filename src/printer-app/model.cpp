// A printer model as its PPD describes it.

#include "model.h"

#include <arvex/cups.h>

#include <reporting.h>
#include <supply_tables.h>

#include <cctype>
#include <cstring>
#include <memory>
#include <strings.h>

namespace arvex::app {

namespace {

struct PpdCloser {
  void operator()(ppd_file_t *ppd) const { ppdClose(ppd); }
};

// An IPP keyword from a PPD choice name, the way CUPS names PWG values:
// FaceDown → face-down, Tray1 → tray-1.
std::string ippKeyword(const char *ppdName)
{
  std::string keyword;
  for (const char *p = ppdName; *p; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    const auto before = p > ppdName ? static_cast<unsigned char>(p[-1]) : 0;
    if (before && ((std::isupper(c) && (std::islower(before) || std::isdigit(before))) ||
                   (std::isdigit(c) && std::isalpha(before))))
      keyword += '-';
    keyword += static_cast<char>(std::tolower(c));
  }
  return keyword;
}

bool markedTrue(ppd_option_t *option)
{
  return option && strcasecmp(option->defchoice, "True") == 0;
}

// The page sizes that have a PWG name, with the margins of the default.
void readMedia(ppd_file_t *ppd, Model &model)
{
  ppd_option_t *option = ppdFindOption(ppd, "PageSize");
  for (int i = 0; option && i < option->num_choices; ++i) {
    const char *name = option->choices[i].choice;
    const pwg_media_t *pwg = pwgMediaForPPD(name);
    if (!pwg || std::strcmp(name, "Custom") == 0)
      continue;
    model.media.push_back({pwg->pwg, name});
    const ppd_size_t *size = ppdPageSize(ppd, name);
    if (std::strcmp(name, option->defchoice) == 0 || model.defaultMedia.empty()) {
      model.defaultMedia = pwg->pwg;
      if (size) {
        model.marginX = static_cast<int>(size->left * 2540 / 72);
        model.marginY = static_cast<int>(size->bottom * 2540 / 72);
      }
    }
  }
}

// The two-sided modes, collation, output bins and colour modes.
void readSettings(ppd_file_t *ppd, Model &model)
{
  static const Choice kSides[] = {{"one-sided", "None"},
                                  {"two-sided-long-edge", "DuplexNoTumble"},
                                  {"two-sided-short-edge", "DuplexTumble"}};
  for (const Choice &side : kSides)
    if (ppdFindChoice(ppdFindOption(ppd, "Duplex"), side.ppd.c_str()))
      model.sides.push_back(side);

  model.collate = ppdFindOption(ppd, "Collate") != nullptr;

  if (ppd_option_t *bins = ppdFindOption(ppd, "OutputBin")) {
    for (int i = 0; i < bins->num_choices; ++i)
      model.outputBins.push_back({ippKeyword(bins->choices[i].choice), bins->choices[i].choice});
    if (ppdFindChoice(bins, bins->defchoice))
      model.defaultOutputBin = ippKeyword(bins->defchoice);
  }

  if (ppd_option_t *colors = ppdFindOption(ppd, "ColorModel")) {
    for (int i = 0; i < colors->num_choices; ++i) {
      const char *name = colors->choices[i].choice;
      // The models' PPDs have CMYK and Gray.
      model.colorModes.push_back({strcasecmp(name, "Gray") == 0 ? "monochrome" : "color", name});
    }
  }
}

// The markers and cycle times, read as the filter reads them.
void readSupplies(ppd_file_t *ppd, Model &model)
{
  const int colorType = GetColorType(ppd);
  SupplyInfo info{};
  if (GetSupplyInfoFromPPD(ppd, colorType, &info))
    for (int i = 0; i < (colorType == REPORT_COLOR_CMYK ? 4 : 1); ++i)
      model.markers.push_back({info.markerColors[i], info.markerNames[i], info.markerTypes[i]});
  for (ppd_attr_t *attr = ppdFindAttr(ppd, "AXSupplyLevelCycleTime", nullptr); attr;
       attr = ppdFindNextAttr(ppd, "AXSupplyLevelCycleTime", nullptr))
    model.cycleTimes.emplace_back(attr->spec, 0);
  for (auto &[scheme, seconds] : model.cycleTimes)
    seconds = supply::cycleTimeFor(ppd, scheme.c_str());
}

}  // namespace

bool loadModel(const std::string &ppdPath, Model &model, std::string &error)
{
  std::unique_ptr<ppd_file_t, PpdCloser> ppd(ppdOpenFile(ppdPath.c_str()));
  if (!ppd) {
    int line = 0;
    error = "Can't read the PPD " + ppdPath + ": " + ppdErrorString(ppdLastError(&line));
    return false;
  }
  model = Model{};
  model.ppdPath = ppdPath;
  model.makeAndModel = ppd->modelname ? ppd->modelname : "Arvex";
  model.color = ppd->color_device != 0;
  model.pagesPerMinute = ppd->throughput;
  const ppd_attr_t *auth = ppdFindAttr(ppd.get(), "AXUserAuthenticationSupport", nullptr);
  model.userAuth = auth && auth->value && std::strcmp(auth->value, "true") == 0;
  model.authEnabled = markedTrue(ppdFindOption(ppd.get(), "AXEnableUserAuth"));
  model.authEncryption = markedTrue(ppdFindOption(ppd.get(), "AXAuthEnableEncryption"));
  const ppd_option_t *nameType = ppdFindOption(ppd.get(), "AXAuthLoginUserNameType");
  model.authDefinedUserId = nameType && strcasecmp(nameType->defchoice, "DefinedUserID") == 0;

  readMedia(ppd.get(), model);
  readSettings(ppd.get(), model);
  readSupplies(ppd.get(), model);
  if (model.media.empty()) {
    error = "The PPD " + ppdPath + " names no page size known to IPP";
    return false;
  }
  return true;
}

const std::string *ppdChoiceFor(const std::vector<Choice> &choices, const std::string &ipp)
{
  for (const Choice &choice : choices)
    if (choice.ipp == ipp)
      return &choice.ppd;
  return nullptr;
}

}  // namespace arvex::app
