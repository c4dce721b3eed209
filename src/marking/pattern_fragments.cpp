// The copy-control fragments: one PostScript dictionary that the printer's
// ADeviceProcSet takes through /SetMarkingType, run under stopped between
// mark and cleartomark so that a printer without the ProcSet just skips it.
// Prevention Copy Pattern carries colour, density and mask pattern besides
// the text attributes; Copy Guard carries only the text attributes.

#include <arvex/error.h>
#include <arvex/marking.h>
#include <arvex/unicode.h>

#include <cstring>

namespace {

// Size of the marking text buffers: the composed text is at most 1024
// bytes, and one more byte keeps the text terminated in every case.
constexpr size_t kComposedSize = 1024;
constexpr size_t kMarkingSize = kComposedSize + 1;

// Work buffers for the PPD's size, angle and line-space texts.
constexpr size_t kSettingWorkSize = 5;

// The text settings come from the job option as it is, else from the PPD.
const char *fontOf(const JobInfo *job)
{
  const char *font = getCupsOption(job, "com.arvex.printsettings.CCPFont");
  return font ? font : getPPDCCPFont(job);
}

const char *sizeOf(const JobInfo *job, char *work)
{
  const char *size = getCupsOption(job, "com.arvex.printsettings.CCPSize");
  return size ? size : getPPDCCPSize(job, work);
}

const char *angleOf(const JobInfo *job, char *work)
{
  const char *angle = getCupsOption(job, "com.arvex.printsettings.CCPAngle");
  return angle ? angle : getPPDCCPAngle(job, work);
}

const char *lineSpaceOf(const JobInfo *job, char *work)
{
  const char *space = getCupsOption(job, "com.arvex.printsettings.CCPLineSpace");
  return space ? space : getPPDCCPLinespace(job, work);
}

// Build the marking text into marking, composed to NFC when it came from
// the print dialog alone. Text from the PPD or the job record is left as
// built. When the composed text does not fit, the uncomposed one stays.
void buildMarkingText(const JobInfo *job, char (&marking)[kMarkingSize], char (&composed)[kComposedSize])
{
  InsertBuffer text = {marking, kMarkingSize, marking};
  if (getCCPCustomText(job, &text) != 0)
    return;
  // Only the text itself is composed; both buffers are zero past it.
  const size_t length = strnlen(marking, kComposedSize);
  if (convertUTF8MACtoUTF8(static_cast<int>(length), marking, composed, kComposedSize) == 1)
    std::memcpy(marking, composed, kComposedSize);
}

// The loop attributes of a repeat code, with the line space, and the
// closing of both dictionaries.
void appendTail(InsertBuffer *out, const char *lf, int repeat, const char *lineSpace)
{
  switch (repeat) {
  case 1:
    lfsprintf(lf, out, "/StringLoopAttributes <<\n/StringLoopInterval %s\n/StringLoopToggle false\n>>\n", lineSpace);
    break;
  case 2:
    lfsprintf(lf, out, "/StringLoopAttributes <<\n/StringLoopInterval %s\n/StringLoopToggle true\n>>\n", lineSpace);
    break;
  default:
    lfsprintf(lf, out, "/StringLoopAttributes null\n");
    break;
  }
  lfsprintf(lf, out, ">>\n>>\n/ADeviceProcSet /ProcSet findresource /SetMarkingType get exec\n} stopped cleartomark\n\n");
}

// The two fragments share everything but the pattern lines: Prevention
// Copy Pattern adds colour, density and mask pattern (a mask leaves no room
// for a text effect). The marking text is built in static buffers, as the
// printers' drivers always have.
int writePatternFragment(const JobInfo *job, int markingType, InsertBuffer *out, const char *lf, bool prevention)
{
  static char marking_string[kMarkingSize];
  static char buf_for_NFC[kComposedSize];
  std::memset(marking_string, 0, sizeof(marking_string));
  std::memset(buf_for_NFC, 0, sizeof(buf_for_NFC));
  char sizeWork[kSettingWorkSize] = {};
  char angleWork[kSettingWorkSize] = {};
  char lineSpaceWork[kSettingWorkSize] = {};
  if (!out) {
    latchError(ARVEX_ERR_WRITER);
    return 1;
  }

  int color = 0;
  int density = 0;
  int mask = 0;
  int effect = 0;
  if (prevention) {
    color = getCCPColor(job);
    density = getCCPDensity(job);
    mask = getCCPMaskPattern(job);
  }
  if (mask == 0)
    effect = getCCPEffect(job, markingType);

  const char *font = fontOf(job);
  if (!font) {
    latchError(ARVEX_ERR_WRITER);
    return 1;
  }
  const char *size = sizeOf(job, sizeWork);
  buildMarkingText(job, marking_string, buf_for_NFC);
  const char *angle = angleOf(job, angleWork);
  const int repeat = getCCPRepeat(job);
  // The position counts only for a single, unrotated text.
  const int position = (repeat == 0 && std::strcmp(angle, "0") == 0) ? getCCPPosition(job) : 3;
  const char *lineSpace = lineSpaceOf(job, lineSpaceWork);

  lfsprintf(lf, out, "\nmark {\n<< /MarkingType %d\n", markingType);
  if (prevention)
    lfsprintf(lf, out, "/MarkingColor %d\n/MarkingDensity %d\n/MaskPattern %d\n", color, density, mask);
  lfsprintf(lf, out,
            "/StringEffect %d\n/StringAttributes <<\n/FontName (%s)\n/FontSize %s\n/String (%s)\n"
            "/StringPosition %d\n/StringAngle %s\n",
            effect, font, size, marking_string, position, angle);
  appendTail(out, lf, repeat, lineSpace);
  return 0;
}

}  // namespace

extern "C" {

int getInsertStringForPreventionCopyPattern(const JobInfo *job, int markingType, InsertBuffer *out, const char *lf)
{
  return writePatternFragment(job, markingType, out, lf, true);
}

int getInsertStringForCopyGuard(const JobInfo *job, int markingType, InsertBuffer *out, const char *lf)
{
  return writePatternFragment(job, markingType, out, lf, false);
}

}  // extern "C"
