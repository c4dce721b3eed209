// What the Printer Application knows of a printer model: the settings its
// PPD expresses, with the IPP values that stand for them.
#ifndef ARVEX_APP_MODEL_H
#define ARVEX_APP_MODEL_H

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace arvex::app {

// An IPP keyword and the PPD choice that it marks.
struct Choice {
  std::string ipp;
  std::string ppd;
};

// A marker as the PPD names it: "#RRGGBB", its name, its IPP marker type.
struct Marker {
  std::string color, name, type;
};

class SupplyWatch;

struct Model {
  std::string ppdPath;
  std::string psPpdPath;     // the model's PostScript PPD, for the job-control block
  std::string makeAndModel;  // *ModelName
  bool color = false;        // *ColorDevice
  bool userAuth = false;     // AXUserAuthenticationSupport "true"
  bool collate = false;      // has the Collate option
  int pagesPerMinute = 0;    // *Throughput
  std::vector<Choice> media;       // PWG media name → PageSize
  std::vector<Choice> sides;       // IPP sides → Duplex
  std::vector<Choice> outputBins;  // IPP output-bin → OutputBin
  std::vector<Choice> colorModes;  // "color"/"monochrome" → ColorModel
  std::string defaultMedia, defaultOutputBin;  // IPP values of the PPD defaults
  int marginX = 0, marginY = 0;  // of the default size, hundredths of a millimetre
  // PPD defaults of the user-authentication settings.
  bool authEnabled = false, authEncryption = false, authDefinedUserId = false;
  std::vector<Marker> markers;  // none when the PPD doesn't describe them all
  std::vector<std::pair<std::string, int>> cycleTimes;  // seconds by device URI scheme
  std::shared_ptr<SupplyWatch> supplies;  // set by the driver
};

// Read the model's PPD. false, with the reason in error, when it can't be
// opened or describes no page size.
bool loadModel(const std::string &ppdPath, Model &model, std::string &error);

// The PPD choice that an IPP value stands for, or nullptr.
const std::string *ppdChoiceFor(const std::vector<Choice> &choices, const std::string &ipp);

}  // namespace arvex::app

#endif
