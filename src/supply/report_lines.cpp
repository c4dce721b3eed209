// The lines that tell the scheduler about the printer: "ATTR:" for the
// markers, "STATE:" for the printer-state reasons.

#include "reporting.h"

#include <cstdio>
#include <syslog.h>

#include "reporting_private.h"
#include "supply_tables.h"

namespace {

constexpr int kReportedForUnknown = 10;  // for kLevelUnknownButPresent

}  // namespace

namespace arvex::supply {

const PrinterStateReason kPrinterStateReasons[kNumPrinterStateReasons] = {
    {0x8000, "media-low-report"},              // lowPaper
    {0x4004, "media-empty-warning"},           // noPaper, inputTrayEmpty
    {0x2000, "toner-low-report"},              // lowToner
    {0x1000, "toner-empty-warning"},           // noToner
    {0x0800, "door-open-report"},              // doorOpen
    {0x0400, "media-jam-warning"},             // jammed
    {0x0080, "input-tray-missing-warning"},    // inputTrayMissing
    {0x0040, "output-tray-missing-warning"},   // outputTrayMissing
    {0x0020, "marker-supply-missing-warning"}, // markerSupplyMissing
    {0x0010, "output-area-almost-full-report"},// outputNearFull
    {0x0008, "output-area-full-warning"},      // outputFull
};

void reportStateChanges(int previous, int state)
{
  const int changed = previous < 0 ? 0xFFFF : (previous ^ state);
  for (const PrinterStateReason &reason : kPrinterStateReasons) {
    if (reason.bits & changed)
      std::fprintf(stderr, "STATE: %c%s\n", (reason.bits & state) ? '+' : '-', reason.keyword);
  }
}

}  // namespace arvex::supply

extern "C" {

// The markers' colours, names, types and levels, one "ATTR:" line each,
// written again in every successful cycle.
void SendSupplyInfo(SupplyInfo *info, int colorType)
{
  if (!info)
    return;
  const int count = colorType == REPORT_COLOR_CMYK ? 4 : 1;
  for (int i = 0; i < count; ++i) {
    if (info->markerLevels[i] == arvex::supply::kLevelUnknownButPresent)
      info->markerLevels[i] = kReportedForUnknown;
  }

  if (colorType == REPORT_COLOR_CMYK) {
    std::fprintf(stderr, "ATTR: marker-colors=%s,%s,%s,%s\n", info->markerColors[0], info->markerColors[1],
                 info->markerColors[2], info->markerColors[3]);
    std::fprintf(stderr, "ATTR: marker-names=\"%s\",\"%s\",\"%s\",\"%s\"\n", info->markerNames[0],
                 info->markerNames[1], info->markerNames[2], info->markerNames[3]);
    std::fprintf(stderr, "ATTR: marker-types=%s,%s,%s,%s\n", info->markerTypes[0], info->markerTypes[1],
                 info->markerTypes[2], info->markerTypes[3]);
    std::fprintf(stderr, "ATTR: marker-levels=%d,%d,%d,%d\n", info->markerLevels[0], info->markerLevels[1],
                 info->markerLevels[2], info->markerLevels[3]);
  } else if (colorType == REPORT_COLOR_MONO) {
    std::fprintf(stderr, "ATTR: marker-colors=%s\n", info->markerColors[0]);
    std::fprintf(stderr, "ATTR: marker-names=\"%s\"\n", info->markerNames[0]);
    std::fprintf(stderr, "ATTR: marker-types=%s\n", info->markerTypes[0]);
    std::fprintf(stderr, "ATTR: marker-levels=%d\n", info->markerLevels[0]);
  } else {
    syslog(LOG_ERR, "SendSupplyInfo:unknow color type\n");
  }
}

}  // extern "C"
