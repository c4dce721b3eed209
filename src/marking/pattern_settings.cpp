// Copy-control pattern settings: type, colour, density, mask, effect,
// position and repeat codes, the font, and the size, angle and line-space
// texts. The print dialog's words arrive as job options; without an option
// the PPD's marked choice is read, whose keywords are, as a rule, the same
// words without blanks.

#include <arvex/marking.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "../jobcontext/job_lookup.h"

using arvex::lookup::attributeValue;
using arvex::lookup::codeOfMarkedChoice;
using arvex::lookup::isDOMDestination;
using arvex::lookup::markedChoiceRecord;
using arvex::lookup::NamedCode;
using arvex::lookup::settingCode;

namespace {

constexpr NamedCode kCopyControlTypes[] = {
    {"Off", "Off", 0},
    {"Copy Guard", "CopyGuard", 1},
    {"Prevention Copy Pattern", "PreventionCopyPattern", 2},
};

constexpr NamedCode kColors[] = {
    {"Black", "Black", 0},
    {"Cyan", "Cyan", 1},
    {"Magenta", "Magenta", 2},
};

// The middle step is "Middle" in the dialog but "Medium" in the PPD.
constexpr NamedCode kDensities[] = {
    {"Very Light", "VeryLight", 1},
    {"Light", "Light", 2},
    {"Middle", "Medium", 3},
    {"Dark", "Dark", 4},
    {"Very Dark", "VeryDark", 5},
};

constexpr NamedCode kMaskPatterns[] = {
    {"None", "None", 0},
    {"Wave Crest", "WaveCrest", 1},
    {"Mesh", "Mesh", 2},
    {"Lattice1", "Lattice1", 3},
    {"Lattice2", "Lattice2", 4},
    {"Interlocking Circles", "InterlockingCircles", 5},
    {"Shokkoh", "Shokkoh", 6},
    {"Matsukawabishi", "Matsukawabishi", 7},
    {"Scale", "Scale", 8},
    {"Higaki", "Higaki", 9},
    {"Hexagonal", "Hexagonal", 10},
};

// "Background only" has no code of its own: it depends on the marking type.
constexpr int kBackgroundOnly = -1;
constexpr NamedCode kEffects[] = {
    {"Off", "Off", 0},
    {"Background Only", "BackgroundOnly", kBackgroundOnly},
    {"Reverse Patterns", "ReversePatterns", 2},
    {"Text Only", "TextOnly", 4},
};

// The centred edge positions are "Center Top"/"Center Bottom" in the
// dialog but "TopCenter"/"BottomCenter" in the PPD.
constexpr NamedCode kPositions[] = {
    {"Top Left", "TopLeft", 0},
    {"Center Top", "TopCenter", 1},
    {"Top Right", "TopRight", 2},
    {"Center", "Center", 3},
    {"Bottom Left", "BottomLeft", 4},
    {"Center Bottom", "BottomCenter", 5},
    {"Bottom Right", "BottomRight", 6},
};

constexpr NamedCode kRepeats[] = {
    {"Off", "Off", 0},
    {"Repeat", "Repeat", 1},
    {"Repeat and Rotate carriage return", "RepeatandRotateCarriageReturn", 2},
};

// CID-keyed fonts that a DOM destination has for its Japanese font choices.
struct CidFont {
  const char *choice;
  const char *fontName;
};
constexpr CidFont kDomFonts[] = {
    {"HeiseiMinW3", "HeiseiMin-W3-UniJIS-UTF8-H"},
    {"HeiseiKakuGoW5", "HeiseiKakuGo-W5-UniJIS-UTF8-H"},
    {"RyuminLight", "Ryumin-Light-UniJIS-UTF8-H"},
    {"GothicBBBMedium", "GothicBBB-Medium-UniJIS-UTF8-H"},
    {"HGHeiseiMinW3", "HGHeiseiMin-W3-UniJIS-UTF8-H"},
    {"HGHeiseiKakuGoW5", "HGHeiseiKakuGo-W5-UniJIS-UTF8-H"},
};

// "Background only" resolved for the fragment's marking type.
int effectFor(int code, int markingType)
{
  if (code != kBackgroundOnly)
    return code;
  switch (markingType) {
  case 1:
    return 1;
  case 2:
    return 3;
  default:
    return 0;
  }
}

// Current value of a custom parameter as an integer.
int customParamAsInt(const ppd_cparam_t *param)
{
  switch (param->type) {
  case PPD_CUSTOM_INT:
    return param->current.custom_int;
  case PPD_CUSTOM_CURVE:
  case PPD_CUSTOM_INVCURVE:
  case PPD_CUSTOM_POINTS:
  case PPD_CUSTOM_REAL:
    return static_cast<int>(param->current.custom_real);
  default:
    return param->current.custom_string ? std::atoi(param->current.custom_string) : 0;
  }
}

// Size, angle and line space share one reader: the marked choice's keyword,
// or for "Custom" its first parameter in at most three characters.
const char *customTextSetting(const JobInfo *job, const char *keyword, const char *fallback, char *work)
{
  const ppd_choice_t *choice = markedChoiceRecord(job, keyword);
  if (!choice)
    return fallback;
  if (std::strcmp(choice->choice, "Custom") != 0)
    return choice->choice[0] ? choice->choice : fallback;

  ppd_coption_t *custom = ppdFindCustomOption(job->ppd, keyword);
  const ppd_cparam_t *param = custom ? ppdFirstCustomParam(custom) : nullptr;
  if (!param || !work)
    return fallback;
  std::snprintf(work, 4, "%d", customParamAsInt(param));
  return work;
}

bool nameHas(const ppd_attr_t *attr, const char *needle)
{
  return std::strstr(attr->spec, needle) != nullptr;
}

// The queue's text effect before "Background only" is resolved.
int ppdEffectCode(const JobInfo *job)
{
  return codeOfMarkedChoice(kEffects, job, "AXEffects", 0);
}

}  // namespace

extern "C" {

int getPPDCopyControlType(const JobInfo *job)
{
  return codeOfMarkedChoice(kCopyControlTypes, job, "AXPreventionType", 0);
}

int getCopyControlType(const JobInfo *job)
{
  return settingCode(job, "com.arvex.printsettings.CCPCopyControlType", kCopyControlTypes, 0, getPPDCopyControlType);
}

// A monochrome device always marks in black.
int getPPDCCPColor(const JobInfo *job)
{
  // CUPS matches attribute names without regard to case: this finds the
  // PPD's ColorDevice keyword.
  const char *colorDevice = attributeValue(job, "colorDevice");
  if (!colorDevice || strcasecmp(colorDevice, "True") != 0)
    return 0;
  return codeOfMarkedChoice(kColors, job, "AXColor", 0);
}

// The option is taken as it is, even on a monochrome device.
int getCCPColor(const JobInfo *job)
{
  return settingCode(job, "com.arvex.printsettings.CCPColor", kColors, 0, getPPDCCPColor);
}

int getPPDCCPDensity(const JobInfo *job)
{
  return codeOfMarkedChoice(kDensities, job, "AXDensity", 3);
}

int getCCPDensity(const JobInfo *job)
{
  return settingCode(job, "com.arvex.printsettings.CCPDensity", kDensities, 3, getPPDCCPDensity);
}

int getPPDCCPMaskPattern(const JobInfo *job)
{
  return codeOfMarkedChoice(kMaskPatterns, job, "AXMaskType", 0);
}

int getCCPMaskPattern(const JobInfo *job)
{
  return settingCode(job, "com.arvex.printsettings.CCPMaskType", kMaskPatterns, 0, getPPDCCPMaskPattern);
}

int getPPDCCPEffect(const JobInfo *job, int markingType)
{
  return effectFor(ppdEffectCode(job), markingType);
}

int getCCPEffect(const JobInfo *job, int markingType)
{
  return effectFor(settingCode(job, "com.arvex.printsettings.CCPEffect", kEffects, 0, ppdEffectCode), markingType);
}

int getPPDCCPPosition(const JobInfo *job)
{
  return codeOfMarkedChoice(kPositions, job, "AXPosition", 3);
}

int getCCPPosition(const JobInfo *job)
{
  return settingCode(job, "com.arvex.printsettings.CCPPosition", kPositions, 3, getPPDCCPPosition);
}

int getPPDCCPRepeat(const JobInfo *job)
{
  return codeOfMarkedChoice(kRepeats, job, "AXRepeat", 0);
}

int getCCPRepeat(const JobInfo *job)
{
  return settingCode(job, "com.arvex.printsettings.CCPRepeat", kRepeats, 0, getPPDCCPRepeat);
}

// Font size from the PPD's "AXSize".
const char *getPPDCCPSize(const JobInfo *job, char *work)
{
  return customTextSetting(job, "AXSize", "70", work);
}

// Text angle from the PPD's "AXAngel" (the keyword is spelt so in the PPDs).
const char *getPPDCCPAngle(const JobInfo *job, char *work)
{
  return customTextSetting(job, "AXAngel", "30", work);
}

// Line space of repeated text from the PPD's "AXLineSpace".
const char *getPPDCCPLinespace(const JobInfo *job, char *work)
{
  return customTextSetting(job, "AXLineSpace", "70", work);
}

// Font name from the PPD's marked "AXFont" choice.
const char *getPPDCCPFont(const JobInfo *job)
{
  const ppd_choice_t *choice = markedChoiceRecord(job, "AXFont");
  if (!choice)
    return nullptr;
  if (std::strcmp(choice->choice, "Default") == 0)
    return getDefaultFont(job);
  if (isDOMDestination(job)) {
    for (const auto &font : kDomFonts)
      if (std::strcmp(font.choice, choice->choice) == 0)
        return font.fontName;
  }
  return choice->text;
}

// Font of the "Default" choice: the interpreter's font on a ZOLPS printer,
// else a resident Japanese gothic on a DOM destination, else Arial.
const char *getDefaultFont(const JobInfo *job)
{
  const bool dom = isDOMDestination(job);

  // Resident Japanese fonts: the first *Font entry, then the walk up to the
  // first later entry that names a Heisei or Ryumin font.
  bool heisei = false;
  bool ryumin = false;
  ppd_file_t *ppd = job ? job->ppd : nullptr;
  if (ppd) {
    if (const ppd_attr_t *first = ppdFindAttr(ppd, "Font", nullptr)) {
      if (nameHas(first, "Heisei"))
        heisei = true;
      else if (nameHas(first, "Ryumin"))
        ryumin = true;
      for (const ppd_attr_t *font = ppdFindNextAttr(ppd, "Font", nullptr); font;
           font = ppdFindNextAttr(ppd, "Font", nullptr)) {
        if (nameHas(font, "Heisei")) {
          heisei = true;
          break;
        }
        if (nameHas(font, "Ryumin")) {
          ryumin = true;
          break;
        }
      }
    }
  }

  // The ZOLPS interpreter brings its own font; the option's default choice
  // decides, the attribute only when the PPD has no such option.
  const ppd_option_t *interpreter = ppd ? ppdFindOption(ppd, "AXPostScript") : nullptr;
  const bool zolpsFont = ppd && ppdFindAttr(ppd, "AXZOLPSFont", nullptr) != nullptr;
  if ((interpreter && std::strcmp(interpreter->defchoice, "ZOLPS") == 0) || (!interpreter && zolpsFont))
    return dom ? "HGHeiseiKakuGo-W5-UniJIS-UTF8-H" : "NimbusSans-Bold";

  if (!dom)
    return "ArialMT";
  if (ryumin)
    return "GothicBBB-Medium-UniJIS-UTF8-H";
  if (heisei)
    return "HeiseiKakuGo-W5-UniJIS-UTF8-H";
  return "ArialMT";
}

}  // extern "C"
