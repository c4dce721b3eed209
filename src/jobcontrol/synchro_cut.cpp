// Synchro cut: the fragment and its settings (whether the device trims the
// sheets to the image, the margins it keeps, where it locks the image and
// which edge leads). Each setting comes from the job option when present,
// else from the PPD.

#include <arvex/jobcontrol.h>

#include <cstdlib>
#include <cstring>

#include "../jobcontext/job_lookup.h"

namespace {

// Job option and PPD option of each margin, indexed by side 1 to 4.
struct MarginSource {
  const char *option;
  const char *ppdKeyword;
};

constexpr MarginSource kMargins[] = {
    {"com.arvex.printsettings.SynchroCut.MarginTop", "AXTopMargin"},
    {"com.arvex.printsettings.SynchroCut.MarginBottom", "AXBottomMargin"},
    {"com.arvex.printsettings.SynchroCut.MarginLeft", "AXLeftMargin"},
    {"com.arvex.printsettings.SynchroCut.MarginRight", "AXRightMargin"},
};

bool equals(const char *text, const char *expected)
{
  return text && std::strcmp(text, expected) == 0;
}

// Corner lock code of a printing position name.
int printingPosition(const char *name)
{
  if (equals(name, "Center"))
    return 1;
  if (equals(name, "Right"))
    return 2;
  return 0;
}

}  // namespace

extern "C" {

// The synchro-cut fragment, when synchro cut is on.
int getInsertStringForSynchroCut(const JobInfo *job, InsertBuffer *out, const char *lf)
{
  // Every setting is read, also when synchro cut is off.
  const char *enable = ScGetSynchroCutValid(job);
  const int leading = ScGetImageDirection(job);
  const int cornerLock = ScGetInformPrintingPosition(job);
  const int top = ScGetSynchroCutMarginValue(job, 1);
  const int bottom = ScGetSynchroCutMarginValue(job, 2);
  const int left = ScGetSynchroCutMarginValue(job, 3);
  const int right = ScGetSynchroCutMarginValue(job, 4);
  if (std::strcmp(enable, "true") != 0)
    return 0;
  lfsprintf(lf, out,
            "mark {\n"
            " <<\n"
            " /Enable %s\n"
            " /Margin <<\n"
            "     /Top %d\n"
            "     /Bottom %d\n"
            "     /Left %d\n"
            "     /Right %d\n"
            " >>\n"
            " /CornerLock %d\n"
            " /Leading %d\n"
            " >>\n"
            " /ADeviceProcSet /ProcSet findresource/SetSynchroCut get exec\n"
            "} stopped cleartomark\n",
            enable, top, bottom, left, right, cornerLock, leading);
  return 0;
}

// Synchro cut on ("true") or off ("false").
const char *ScGetSynchroCutValid(const JobInfo *job)
{
  const char *value = arvex::lookup::jobOption(job, "com.arvex.printsettings.SynchroCut.Valid");
  if (!value)
    return getPPDSynchroCutValid(job);
  return equals(value, "On") ? "true" : "false";
}

const char *getPPDSynchroCutValid(const JobInfo *job)
{
  return arvex::lookup::markedChoiceIs(job, "AXSynchroCut", "True") ? "true" : "false";
}

// Leading edge: 1 when the short edge leads, else 0.
int ScGetImageDirection(const JobInfo *job)
{
  const char *value = arvex::lookup::jobOption(job, "com.arvex.printsettings.SynchroCut.ImageDirection");
  if (!value)
    return getPPDImageDirection(job);
  return equals(value, "ShortEdgeFeed") ? 1 : 0;
}

// Leading edge as the queue has it: portrait priority leads short edge.
int getPPDImageDirection(const JobInfo *job)
{
  return arvex::lookup::markedChoiceIs(job, "AXImageDirectionPriority", "Portrait") ? 1 : 0;
}

// Corner lock: 0 left, 1 centre, 2 right.
int ScGetInformPrintingPosition(const JobInfo *job)
{
  const char *value = arvex::lookup::jobOption(job, "com.arvex.printsettings.SynchroCut.Position");
  if (!value)
    return getPPDInformPrintingPosition(job);
  return printingPosition(value);
}

// Corner lock as the queue has it.
int getPPDInformPrintingPosition(const JobInfo *job)
{
  return printingPosition(arvex::lookup::markedChoice(job, "AXPrintPosition"));
}

// Margin of one side (1 top, 2 bottom, 3 left, 4 right).
int ScGetSynchroCutMarginValue(const JobInfo *job, int side)
{
  if (side < 1 || side > 4)
    return 0;
  const MarginSource &source = kMargins[side - 1];
  const char *value = arvex::lookup::jobOption(job, source.option);
  if (value)
    return std::atoi(value);
  return getPPDMarginValue(job, source.ppdKeyword);
}

// The queue's custom margin for keyword, 0 when not custom.
int getPPDMarginValue(const JobInfo *job, const char *keyword)
{
  return arvex::lookup::customInt(job, keyword).value_or(0);
}

}  // extern "C"
