// Background numbering: the device prints a number, counted up from a first
// number, in the background of every page. Each setting comes from the job
// option when present, else from the queue's PPD; a name the tables below
// don't know falls back to the setting's usual value.

#include <arvex/numbering.h>

#include <cstdlib>
#include <cstring>

#include "../jobcontext/job_lookup.h"

namespace {

struct NamedCode {
  const char *name;
  int code;
};

constexpr NamedCode kSizes[] = {{"Small", 0}, {"Normal", 1}, {"Large", 2}};
constexpr NamedCode kDensities[] = {{"Light", 0}, {"Normal", 1}, {"Dark", 2}, {"VeryDark", 3}};
constexpr NamedCode kColors[] = {{"Black", 0}, {"Cyan", 1},  {"Magenta", 2}, {"Yellow", 3},
                                 {"Red", 4},   {"Green", 5}, {"Blue", 6}};

constexpr int kSizeFallback = 1;
constexpr int kDensityFallback = 1;
constexpr int kColorFallback = 0;
constexpr int kStartNumberFallback = 1;

// Code of name in table, or fallback for a name it doesn't hold.
template <size_t N>
int codeOf(const NamedCode (&table)[N], const char *name, int fallback)
{
  if (!name)
    return fallback;
  for (const auto &entry : table)
    if (std::strcmp(name, entry.name) == 0)
      return entry.code;
  return fallback;
}

// The marked choice of keyword when the table knows it, else defaultName.
template <size_t N>
const char *recognisedChoice(const JobInfo *job, const char *keyword, const NamedCode (&table)[N],
                             const char *defaultName)
{
  const char *choice = arvex::lookup::markedChoice(job, keyword);
  if (!choice)
    return defaultName;
  for (const auto &entry : table)
    if (std::strcmp(choice, entry.name) == 0)
      return entry.name;
  return defaultName;
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

// Font size code.
int BnGetSize(const JobInfo *job)
{
  const char *value = arvex::lookup::jobOption(job, "com.arvex.printsettings.BackgroundNumbering.Size");
  return codeOf(kSizes, value ? value : getPPDBnSize(job), kSizeFallback);
}

// The queue's font size name.
const char *getPPDBnSize(const JobInfo *job)
{
  return recognisedChoice(job, "AXBNSize", kSizes, "Normal");
}

// Density code.
int BnGetDensity(const JobInfo *job)
{
  const char *value = arvex::lookup::jobOption(job, "com.arvex.printsettings.BackgroundNumbering.Density");
  return codeOf(kDensities, value ? value : getPPDBnDensity(job), kDensityFallback);
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
  return codeOf(kColors, value ? value : getPPDBnColor(job), kColorFallback);
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
  if (!arvex::lookup::markedChoiceIs(job, keyword, "Custom"))
    return kStartNumberFallback;
  const ppd_cparam_t *param = arvex::lookup::customParam(job, keyword, arvex::lookup::ParamKind::Int);
  return param ? param->current.custom_int : kStartNumberFallback;
}

}  // extern "C"
