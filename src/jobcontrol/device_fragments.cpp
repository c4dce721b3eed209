// Device setting fragments: colour balance, and the commands the PPD holds
// ready for the output bin and the banner page.

#include <arvex/jobcontrol.h>

#include <cstdio>
#include <cstring>

#include "../jobcontext/bounded_text.h"
#include "ppd_commands.h"
#include "../jobcontext/job_lookup.h"

namespace {

// Room for one colour-balance value: three characters and the terminator,
// with one byte to spare.
constexpr size_t kBalanceValueSize = 5;

// Colour-balance value: the job option as it stands (an absent one is
// latched as such), else the queue's rounded custom value.
const char *balanceValue(const JobInfo *job, const char *option, const char *ppdKeyword, char *buffer)
{
  const char *value = arvex::lookup::jobOptionOrLatch(job, option);
  return value ? value : getPPDOptionInt(job, ppdKeyword, buffer);
}

// Round half away from zero the way the device's drivers always have: in
// single precision, by adding or taking five tenths and truncating.
int roundHalfAway(float v)
{
  // Far outside what three characters can show; keep the conversion to int
  // defined for any value.
  constexpr float kLimit = 1.0e8f;
  if (v > kLimit)
    v = kLimit;
  if (v < -kLimit)
    v = -kLimit;
  if (v > 0.0f)
    return static_cast<int>(v * 10.0f + 5.0f) / 10;
  if (v < 0.0f)
    return static_cast<int>(v * 10.0f - 5.0f) / 10;
  return 0;
}

}  // namespace

namespace arvex {

void buildPPDCommandName(char (&name)[kPPDCommandNameSize], const char *prefix, const char *option,
                         const char *choice)
{
  std::memset(name, 0, sizeof(name));
  arvex::strlcat(name, prefix, sizeof(name));
  arvex::strlcat(name, option, sizeof(name));
  arvex::strlcat(name, choice, sizeof(name));
}

}  // namespace arvex

extern "C" {

// The colour-balance fragment; a monochrome device gets no colour gamma.
int getInsertStringForColorBalance(const JobInfo *job, InsertBuffer *out, const char *lf)
{
  if (!job)
    return 0;
  char brightnessBuffer[kBalanceValueSize] = {};
  char contrastBuffer[kBalanceValueSize] = {};
  char blackBuffer[kBalanceValueSize] = {};
  char cyanBuffer[kBalanceValueSize] = {};
  char magentaBuffer[kBalanceValueSize] = {};
  char yellowBuffer[kBalanceValueSize] = {};
  const bool color = arvex::lookup::isColorDevice(job);

  const char *brightness =
      balanceValue(job, "com.arvex.printsettings.14AColorBalanceBrightness", "AXBrightness", brightnessBuffer);
  const char *contrast =
      balanceValue(job, "com.arvex.printsettings.14AColorBalanceContrast", "AXContrast", contrastBuffer);
  const char *black = balanceValue(job, "com.arvex.printsettings.14AColorBalanceBlack", "AXBlack", blackBuffer);
  const char *cyan = "0";
  const char *magenta = "0";
  const char *yellow = "0";
  if (color) {
    cyan = balanceValue(job, "com.arvex.printsettings.14AColorBalanceCyan", "AXCyan", cyanBuffer);
    magenta = balanceValue(job, "com.arvex.printsettings.14AColorBalanceMagenta", "AXMagenta", magentaBuffer);
    yellow = balanceValue(job, "com.arvex.printsettings.14AColorBalanceYellow", "AXYellow", yellowBuffer);
  }
  lfsprintf(lf, out,
            "mark {\n"
            "\t<<\n"
            "\t\t/Brightness %s\n"
            "\t\t/Contrast %s\n"
            "\t\t/Gamma <<\n"
            "\t\t\t/Cyan %s\n"
            "\t\t\t/Magenta %s\n"
            "\t\t\t/Yellow %s\n"
            "\t\t\t/Black %s\n"
            "\t\t>>\n"
            "\t>>\n"
            "\t/ADeviceProcSet /ProcSet findresource /SetColorBalance get exec\n"
            "} stopped cleartomark\n",
            brightness, contrast, cyan, magenta, yellow, black);
  return 0;
}

// The queue's custom value of keyword as a whole number of three
// characters at most, or "0" when it has none.
const char *getPPDOptionInt(const JobInfo *job, const char *keyword, char *buffer)
{
  if (!buffer || !arvex::lookup::markedChoiceIs(job, keyword, "Custom"))
    return "0";
  const ppd_cparam_t *param = arvex::lookup::customParam(job, keyword, arvex::lookup::ParamKind::Number);
  if (!param)
    return "0";
  char digits[16] = {};
  std::snprintf(digits, sizeof(digits), "%d", roundHalfAway(arvex::lookup::paramNumber(param)));
  arvex::strlcpy(buffer, digits, 4);
  return buffer;
}

// Append the PPD's ready command for the chosen (or default) choice.
int insertStringFromPPDCommand(const JobInfo *job, InsertBuffer *out, const char *lf, const char *prefix,
                               const char *option, const char *defaultChoice)
{
  if (!job || !out || !lf || !prefix || !option || !defaultChoice)
    return 1;
  const char *choice = arvex::lookup::jobOptionOrLatch(job, option);
  if (!choice)
    choice = defaultChoice;
  char name[arvex::kPPDCommandNameSize];
  arvex::buildPPDCommandName(name, prefix, option, choice);
  const char *command = arvex::lookup::attributeValue(job, name);
  if (!command)
    return 1;
  lfsprintf(lf, out, "%s\n", command);
  return 0;
}

int getInsertStringForOutputBin(const JobInfo *job, InsertBuffer *out, const char *lf)
{
  return insertStringFromPPDCommand(job, out, lf, "AXCMD", "OutputBin", "Default");
}

// The banner-page commands: input slot, media type, then whether to print
// it. A missing command stops the rest, so the device never gets a banner
// page set up by halves.
int getInsertStringForBannerPage(const JobInfo *job, InsertBuffer *out, const char *lf)
{
  static constexpr const char *kBanner[][2] = {
      {"AXBannerPageInputSlot", "Auto"},
      {"AXBannerPageMediaType", "Auto"},
      {"AXBannerPagePrint", "False"},
  };
  int result = 0;
  for (const auto &command : kBanner) {
    result = insertStringFromPPDCommand(job, out, lf, "AXCMD", command[0], command[1]);
    if (result != 0)
      return result;
  }
  return result;
}

const char *getValueFromPPD(ppd_file_t *ppd, const char *keyword)
{
  if (!ppd || !keyword)
    return nullptr;
  const ppd_attr_t *attr = ppdFindAttr(ppd, keyword, nullptr);
  return attr ? attr->value : nullptr;
}

}  // extern "C"
