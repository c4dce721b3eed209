// Background numbering: the device prints a number, counted up from a first
// number, in the background of every page. Each setting comes from the job
// option when present, else from the queue's PPD; a name the tables below
// don't know falls back to the setting's usual value.

#include <arvex/numbering.h>

#include <cstdlib>
#include <cstring>

#include "../jobcontext/job_lookup.h"

namespace {

using arvex::lookup::NamedCode;
using arvex::lookup::NamedCodes;

// The job options use the PPD's choice keywords.
constexpr NamedCode kSizes[] = {{"Small", "Small", 0}, {"Normal", "Normal", 1}, {"Large", "Large", 2}};
constexpr NamedCode kDensities[] = {
    {"Light", "Light", 0}, {"Normal", "Normal", 1}, {"Dark", "Dark", 2}, {"VeryDark", "VeryDark", 3}};
constexpr NamedCode kColors[] = {{"Black", "Black", 0}, {"Cyan", "Cyan", 1},   {"Magenta", "Magenta", 2},
                                 {"Yellow", "Yellow", 3}, {"Red", "Red", 4}, {"Green", "Green", 5},
                                 {"Blue", "Blue", 6}};

constexpr int kSizeFallback = 1;
constexpr int kDensityFallback = 1;
constexpr int kColorFallback = 0;
constexpr int kStartNumberFallback = 1;

// The marked choice of keyword when the table knows it, else defaultName.
const char *recognisedChoice(const JobInfo *job, const char *keyword, NamedCodes table, const char *defaultName)
{
  const NamedCode *row =
      arvex::lookup::findRow(table, &NamedCode::ppdChoice, arvex::lookup::markedChoice(job, keyword));
  return row ? row->ppdChoice : defaultName;
}

// Whether the device can print background numbers at all.
bool isSupported(const JobInfo *job)
{
  const char *value = arvex::lookup::attributeValue(job, "AXBackgroundNumberingSupport");
  return value && std::strcmp(value, "true") == 0;
}

}  // namespace

extern "C" {

// The numbering fragment, when the device supports it and the job asks.
void getInsertStringForBackgroundNumbering(const JobInfo *job, InsertBuffer *out, const char *lf)
{
  if (std::strcmp(BnGetFunctionValid(job), "true") != 0)
    return;
  const int size = BnGetSize(job);
  const int density = BnGetDensity(job);
  const int color = BnGetColor(job);
  const int startNumber = BnGetStartNumber(job);
  lfsprintf(lf, out,
            "mark {\n"
            " <<\n"
            " /Enable %s\n"
            " /FontSize %d\n"
            " /Density %d\n"
            " /Color %d\n"
            " /InitialNumber %d\n"
            " >>\n"
            " /ADeviceProcSet /ProcSet findresource/SetSecurityNumbering get exec\n"
            "} stopped cleartomark\n",
            "true", size, density, color, startNumber);
}

// "true" when background numbering is in force for the job.
const char *BnGetFunctionValid(const JobInfo *job)
{
  if (!isSupported(job))
    return "false";
  const char *value = arvex::lookup::jobOption(job, "com.arvex.printsettings.BackgroundNumbering.Valid");
  if (!value)
    value = getPPDBnFunctionValid(job);
  return std::strcmp(value, "On") == 0 ? "true" : "false";
}

// The queue's setting: "On" or "Off".
const char *getPPDBnFunctionValid(const JobInfo *job)
{
  return arvex::lookup::markedChoiceIs(job, "AXBackgroundNumbering", "True") ? "On" : "Off";
}

int BnGetSize(const JobInfo *job)
{
  const char *value = arvex::lookup::jobOption(job, "com.arvex.printsettings.BackgroundNumbering.Size");
  return arvex::lookup::codeOfOptionValue(kSizes, value ? value : getPPDBnSize(job), kSizeFallback);
}

// The queue's font size name.
const char *getPPDBnSize(const JobInfo *job)
{
  return recognisedChoice(job, "AXBNSize", kSizes, "Normal");
}

int BnGetDensity(const JobInfo *job)
{
  const char *value = arvex::lookup::jobOption(job, "com.arvex.printsettings.BackgroundNumbering.Density");
  return arvex::lookup::codeOfOptionValue(kDensities, value ? value : getPPDBnDensity(job), kDensityFallback);
}

// The queue's density name.
const char *getPPDBnDensity(const JobInfo *job)
{
  return recognisedChoice(job, "AXBNDensity", kDensities, "Normal");
}

// Colour code; black on a monochrome device whatever the job asks.
int BnGetColor(const JobInfo *job)
{
  if (!arvex::lookup::isColorDevice(job))
    return kColorFallback;
  const char *value = arvex::lookup::jobOption(job, "com.arvex.printsettings.BackgroundNumbering.Color");
  return arvex::lookup::codeOfOptionValue(kColors, value ? value : getPPDBnColor(job), kColorFallback);
}

// The queue's colour name.
const char *getPPDBnColor(const JobInfo *job)
{
  return recognisedChoice(job, "AXBNColor", kColors, "Black");
}

// First number: the job option as a number (not range-checked), else the
// queue's custom value.
int BnGetStartNumber(const JobInfo *job)
{
  const char *value = arvex::lookup::jobOption(job, "com.arvex.printsettings.BackgroundNumbering.StartNumber");
  return value ? std::atoi(value) : getPPDBnStartNumber(job, "AXStartNumber");
}

// The queue's custom first number of keyword, 1 when it has none.
int getPPDBnStartNumber(const JobInfo *job, const char *keyword)
{
  return arvex::lookup::customInt(job, keyword).value_or(kStartNumberFallback);
}

}  // extern "C"
