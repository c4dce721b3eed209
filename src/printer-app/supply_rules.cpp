// The rules that turn what an Arvex printer says into what IPP shows.

#include "supply_rules.h"

#include <supply_tables.h>

#include <charconv>
#include <cstring>

namespace arvex::app {

namespace {

constexpr int kLevelSomeLeft = -3;  // IPP's "some remaining, amount unknown"

// PAPPL (1.3.1, and the releases after it up to at least 1.4) lists
// printer-state-reasons only from other to toner-low, so door-open, though
// set, never shows; an open door is then also reported as cover-open, which
// every version lists. (-DARVEX_PAPPL_LISTS_DOOR_OPEN=ON for a PAPPL that
// lists it.)
#ifdef ARVEX_PAPPL_LISTS_DOOR_OPEN
constexpr bool kDoorAlsoCoverOpen = false;
#else
constexpr bool kDoorAlsoCoverOpen = true;
#endif

// The IPP reason of each printer-state row, by its keyword without the
// severity suffix; rows not named here are "other".
struct ReasonOfRow {
  const char *keyword;
  pappl_preason_t reason;
};
constexpr ReasonOfRow kReasonOfRow[] = {
    {"media-low", PAPPL_PREASON_MEDIA_LOW},     {"media-empty", PAPPL_PREASON_MEDIA_EMPTY},
    {"toner-low", PAPPL_PREASON_TONER_LOW},     {"toner-empty", PAPPL_PREASON_TONER_EMPTY},
    {"door-open", PAPPL_PREASON_DOOR_OPEN},     {"media-jam", PAPPL_PREASON_MEDIA_JAM},
    {"input-tray-missing", PAPPL_PREASON_INPUT_TRAY_MISSING},
};

pappl_preason_t reasonOf(std::string_view row)
{
  row = row.substr(0, row.rfind('-'));
  for (const ReasonOfRow &entry : kReasonOfRow)
    if (row == entry.keyword)
      return entry.reason;
  return PAPPL_PREASON_OTHER;
}

}  // namespace

pappl_preason_t reasonsOf(int state)
{
  pappl_preason_t reasons = PAPPL_PREASON_NONE;
  for (const supply::PrinterStateReason &row : supply::kPrinterStateReasons)
    if (row.bits & state)
      reasons |= reasonOf(row.keyword);
  if (kDoorAlsoCoverOpen && (reasons & PAPPL_PREASON_DOOR_OPEN))
    reasons |= PAPPL_PREASON_COVER_OPEN;
  return reasons;
}

std::optional<int> ippLevel(long level)
{
  if (level == supply::kLevelUnknownButPresent)
    return kLevelSomeLeft;
  if (level < 0 || level > 100)
    return std::nullopt;
  return static_cast<int>(level);
}

std::optional<std::vector<int>> rtnLevels(const char *deviceId, size_t markers)
{
  const char *field = std::strstr(deviceId, "RTN:");
  const std::optional<std::string_view> text = field ? supply::rtnLevels(field + 4) : std::nullopt;
  if (!text)
    return std::nullopt;
  std::vector<int> levels;
  const char *p = text->data(), *end = p + text->size();
  while (p < end) {
    long value = 0;
    const auto [next, error] = std::from_chars(p, end, value);
    const std::optional<int> level = error == std::errc() ? ippLevel(value) : std::nullopt;
    if (!level || (next < end && *next != ','))
      return std::nullopt;
    levels.push_back(*level);
    p = next < end ? next + 1 : next;
  }
  if (levels.size() != markers)
    return std::nullopt;
  return levels;
}

}  // namespace arvex::app
