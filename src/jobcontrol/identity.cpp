// The identity a job-type fragment carries when the job options don't give
// it: the queue's custom values (user id, user code, password, file name,
// folder), each checked against what the device accepts, the reserved
// print time, the time stamp and the document-server folder lines.

#include <arvex/jobcontrol.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "../jobcontext/bounded_text.h"
#include "../jobcontext/job_lookup.h"
#include "../jobcontext/time_zone.h"

namespace {

constexpr int kUserIdMax = 8;
constexpr int kUserCodeMax = 8;
constexpr int kPasswordMin = 4;
constexpr int kPasswordMax = 8;
constexpr int kFileNameMax = 16;

bool isAsciiLetter(unsigned char c)
{
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isAsciiDigit(unsigned char c)
{
  return c >= '0' && c <= '9';
}

bool isUserIdExtra(unsigned char c)
{
  return c != '\0' && std::strchr("-./:_", c) != nullptr;
}

// Whether text has minimum..maximum bytes and every byte passes accept.
template <typename Accept>
bool textMatches(const char *text, int minimum, int maximum, Accept accept)
{
  if (!text)
    return false;
  const size_t length = std::strlen(text);
  if ((minimum > 0 && length < static_cast<size_t>(minimum)) || maximum < 0 ||
      length > static_cast<size_t>(maximum))
    return false;
  for (size_t i = 0; i < length; ++i)
    if (!accept(static_cast<unsigned char>(text[i])))
      return false;
  return true;
}

// A custom text of the queue: "" unless keyword is marked "Custom" and its
// text passes valid.
const char *checkedCustomText(const JobInfo *job, const char *keyword, int (*valid)(const char *))
{
  if (getPPDChoice(job, keyword) != ARVEX_CHOICE_CUSTOM)
    return "";
  const char *text = arvex::lookup::customText(job, keyword).value_or(nullptr);
  return (text && valid(text)) ? text : "";
}

}  // namespace

extern "C" {

// User id: letters and digits, with "-./:_" too when extended.
int isValidUserID(const char *text, int minimum, int maximum, int extended)
{
  return textMatches(text, minimum, maximum, [extended](unsigned char c) {
           return isAsciiLetter(c) || isAsciiDigit(c) || (extended && isUserIdExtra(c));
         })
             ? 1
             : 0;
}

// User code: up to eight digits, none at all included.
int isValidUserCode(const char *text)
{
  return textMatches(text, 0, kUserCodeMax, isAsciiDigit) ? 1 : 0;
}

// Password: four to eight digits.
int isValidPassword(const char *text)
{
  return textMatches(text, kPasswordMin, kPasswordMax, isAsciiDigit) ? 1 : 0;
}

// File name: up to sixteen letters and digits.
int isValidFileName(const char *text)
{
  return textMatches(text, 0, kFileNameMax, [](unsigned char c) { return isAsciiLetter(c) || isAsciiDigit(c); })
             ? 1
             : 0;
}

// The queue's user id. Jobs that the device holds back need a non-empty id;
// the length rule follows the PPD's own job type.
const char *getPPDUserid(const JobInfo *job)
{
  const char *extendSupport = arvex::lookup::attributeValue(job, "AXUserIDExtendSupport");
  const int extended = (extendSupport && std::strcmp(extendSupport, "true") == 0) ? 1 : 0;
  const int jobType = getPPDJobType(job);

  const int choice = getPPDChoice(job, "AXUserId");
  if (choice == ARVEX_CHOICE_NONE)
    return "";
  if (choice != ARVEX_CHOICE_CUSTOM)
    return nullptr;
  if (!job->ppd || !ppdFindCustomOption(job->ppd, "AXUserId"))
    return nullptr;
  const char *userId = arvex::lookup::customText(job, "AXUserId").value_or(nullptr);
  if (!userId)
    return "";

  const bool heldByDevice = jobType == ARVEX_JOB_LOCKED || jobType == ARVEX_JOB_SAMPLE ||
                            jobType == ARVEX_JOB_HOLD || jobType == ARVEX_JOB_STORED ||
                            jobType == ARVEX_JOB_STORE_AND_PRINT;
  return isValidUserID(userId, heldByDevice ? 1 : 0, kUserIdMax, extended) ? userId : "";
}

const char *getPPDUserCode(const JobInfo *job)
{
  return checkedCustomText(job, "AXUserCode", isValidUserCode);
}

const char *getPPDPassword(const JobInfo *job)
{
  return checkedCustomText(job, "AXPassword", isValidPassword);
}

const char *getPPDFileName(const JobInfo *job)
{
  return checkedCustomText(job, "AXFileName", isValidFileName);
}

const char *getPPDFolderPassword(const JobInfo *job)
{
  return checkedCustomText(job, "AXFolderPassword", isValidPassword);
}

// The queue's folder number, at most three characters.
const char *getPPDFolderNumber(const JobInfo *job, char *buffer)
{
  const std::optional<int> number = arvex::lookup::customInt(job, "AXFolderNumber");
  if (!buffer || !number)
    return "0";
  char digits[16] = {};
  std::snprintf(digits, sizeof(digits), "%d", *number);
  arvex::strlcpy(buffer, digits, 4);
  return buffer;
}

// The reserved print time as four digits HHMM; 0 for a part not set.
const char *getPPDSpecifyTime(const JobInfo *job, char *buffer)
{
  const int hour = arvex::lookup::customInt(job, "AXTimeHour").value_or(0);
  const int minute = arvex::lookup::customInt(job, "AXTimeMin").value_or(0);
  if (!buffer)
    return buffer;
  char digits[64] = {};
  std::snprintf(digits, sizeof(digits), "%d%d%d%d", hour / 10, hour % 10, minute / 10, minute % 10);
  arvex::strlcpy(buffer, digits, 16);
  return buffer;
}

// The local time (under TZ as the job set it) as YYYYMMDDhhmm.
int getCurrentTime(char *buffer)
{
  if (!buffer)
    return 0;
  // Loads the zone the job set, unless the C library must not load it.
  if (arvex::isLoadableTimeZone(std::getenv("TZ")))
    tzset();
  const time_t now = time(nullptr);
  struct tm local = {};
  localtime_r(&now, &local);
  char digits[64] = {};
  const int length = std::snprintf(digits, sizeof(digits), "%.4d%.2d%.2d%.2d%.2d", local.tm_year + 1900,
                                   local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min);
  arvex::strlcpy(buffer, digits, 13);
  return length;
}

// The folder a document-server job is filed into, when the device has them.
int getInsertStringForFolderNumber(const JobInfo *job, InsertBuffer *out, const char *lf)
{
  if (!job || !out || !lf)
    return 1;
  if (!isFolderNumberSupport(job))
    return 0;
  char numberBuffer[5] = {};
  const char *number = arvex::lookup::jobOptionOrLatch(job, "com.arvex.printsettings.11AFolderNumber");
  if (!number)
    number = getPPDFolderNumber(job, numberBuffer);
  const char *password = arvex::lookup::jobOptionOrLatch(job, "com.arvex.printsettings.11AFolderPassword");
  if (!password)
    password = getPPDFolderPassword(job);
  lfsprintf(lf, out,
            "\t\t/FolderNumber %s\n"
            "\t\t/FolderPassword (%s)\n",
            number, password);
  return 0;
}

}  // extern "C"
