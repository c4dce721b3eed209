// The marking text of a copy-control pattern: a user-defined text, the
// login user name, the job name, the time, or a combination of them joined
// by blanks. The text is written in PostScript string notation: bytes that
// come from the PPD or the job title go out as octal escapes so that any
// UTF-8 survives the string's parentheses; texts that the print dialog sent
// in octal notation become escapes; user name and time go out as they are.
// The printer decodes at most 64 bytes of it.

#include <arvex/error.h>
#include <arvex/marking.h>
#include <arvex/textcheck.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

#include "../jobcontext/bounded_text.h"
#include "../jobcontext/job_lookup.h"
#include "../jobcontext/utf8_lead.h"

using arvex::lookup::codeOfMarkedChoice;
using arvex::lookup::isDOMDestination;
using arvex::lookup::jobOption;
using arvex::lookup::markedChoiceRecord;
using arvex::lookup::NamedCode;

namespace {

constexpr int kMaxBytes = ARVEX_MARKING_TEXT_MAX;

// Longest job-name option that addJobName looks at.
constexpr size_t kJobNameWork = 4096 - 1;

constexpr NamedCode kTextTypes[] = {
    {"User Defined", "UserText", 0},
    {"Login User Name", "LoginUserName", 1},
    {"PrintJob Name", "JobName", 2},
    {"PrintJob Time", "JobTime", 3},
    {"Login User Name + PrintJob Name", "LoginUserNameJobName", 4},
    {"Login User Name + PrintJob Time", "LoginUserNameJobTime", 5},
    {"PrintJob Name + PrintJob Time", "JobNameTime", 6},
    {"Login User Name + PrintJob Name + PrintJob Time", "LoginUserNameJobNameTime", 7},
};

// Octal notation into escapes (see strcatOctet).
void appendOctet(arvex::BoundedAppender &out, std::string_view text)
{
  if (text.empty())
    return;
  if (text.front() == '\\') {
    out.append(text);
    return;
  }
  for (size_t i = 0; i + 3 <= text.size(); i += 3) {
    const char escape[4] = {'\\', text[i], text[i + 1], text[i + 2]};
    out.appendWhole(std::string_view(escape, sizeof(escape)));
  }
}

// The count limits shared by the appends: a count of 64 is full, beyond it
// (or below 0) is broken.
bool countIsFull(int count, int &result)
{
  if (count < 0) {
    result = -1;
    return true;
  }
  if (count > kMaxBytes - 1) {
    result = count == kMaxBytes ? count : -1;
    return true;
  }
  return false;
}

// Which parts a text type 1..7 holds.
struct TextParts {
  bool user;
  bool jobName;
  bool time;
};

TextParts partsOf(int type)
{
  switch (type) {
  case 1:
    return {true, false, false};
  case 2:
    return {false, true, false};
  case 3:
    return {false, false, true};
  case 4:
    return {true, true, false};
  case 5:
    return {true, false, true};
  case 6:
    return {false, true, true};
  default:
    return {true, true, true};
  }
}

// The user-defined text (type 0): from the job option in octal notation,
// else from the PPD, escaped byte by byte.
int userDefinedText(const JobInfo *job, InsertBuffer *text)
{
  auto out = arvex::BoundedAppender::afterText(text);
  if (const char *option = jobOption(job, "com.arvex.printsettings.CCPCustomText")) {
    out.clear();
    appendOctet(out, option);
    return 0;
  }
  const char *fromPpd = getPPDCustomText(job);
  out.clear();
  if (!fromPpd)
    return 0;
  // A PPD text cut at a character that did not fit stays cut; it is not an
  // error of the job.
  addPPDUtf8Text(fromPpd, text, 0);
  return 1;
}

}  // namespace

extern "C" {

int getPPDCCPTextType(const JobInfo *job)
{
  return codeOfMarkedChoice(kTextTypes, job, "AXTypeText", 0);
}

int getCCPTextType(const JobInfo *job)
{
  return arvex::lookup::settingCode(job, "com.arvex.printsettings.CCPTextType", kTextTypes, 0, getPPDCCPTextType);
}

// The user-defined text from the PPD, or "COPY" where it is not acceptable.
const char *getPPDCustomText(const JobInfo *job)
{
  const bool dom = isDOMDestination(job);

  const char *text = nullptr;
  if (const ppd_choice_t *choice = markedChoiceRecord(job, "AXText")) {
    if (std::strcmp(choice->choice, "Custom") == 0) {
      ppd_coption_t *custom = ppdFindCustomOption(job->ppd, "AXText");
      const ppd_cparam_t *param = custom ? ppdFirstCustomParam(custom) : nullptr;
      if (param)
        text = param->current.custom_string ? param->current.custom_string : "";
    } else {
      text = "COPY";
    }
  }
  const int version = CUPSVersion(std::getenv("SOFTWARE"));
  const int type = getCopyControlType(job);

  if (!text)
    return nullptr;

  // A DOM destination under CUPS 2.1 or later prints any UTF-8 text.
  if (dom && version > 200) {
    if (type == 2)
      return text[0] ? text : "COPY";
    return text;
  }
  if (type == 1)
    return isValidCustomText(text, 0, kMaxBytes) ? text : "COPY";
  if (type == 2)
    return isValidCustomText(text, 1, kMaxBytes) ? text : "COPY";
  return text;
}

// Octal notation to escapes, bounded by the buffer's capacity.
void strcatOctet(InsertBuffer *buf, const char *text)
{
  if (!text)
    return;
  auto out = arvex::BoundedAppender::afterText(buf);
  appendOctet(out, text);
}

// Every byte of a plain text as an escape, whole UTF-8 characters only.
int addPPDUtf8Text(const char *text, InsertBuffer *buf, int count)
{
  int result = 0;
  if (countIsFull(count, result))
    return result;
  if (!text || !text[0])
    return count;

  auto out = arvex::BoundedAppender::afterText(buf);
  int i = 0;
  for (; text[i]; ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    const int n = arvex::utf8::sequenceLength(b);
    if (n > 1 && count + i + n > kMaxBytes)
      return -1;
    out.appendEscape(b);
    if (count + i + 1 >= kMaxBytes) {
      ++i;
      break;
    }
  }
  return count + i;
}

// A plain text as it is, cut at 64 bytes (even inside a UTF-8 character).
int addLiteralText(const char *text, InsertBuffer *buf, int count)
{
  int result = 0;
  if (countIsFull(count, result))
    return result;
  if (!text || !text[0])
    return count;

  const size_t room = static_cast<size_t>(kMaxBytes - count);
  const size_t n = strnlen(text, room);
  auto out = arvex::BoundedAppender::afterText(buf);
  out.append(std::string_view(text, n));
  return count + static_cast<int>(n);
}

// A job name in octal notation, tokens separated by "_", appended while
// they fit whole. The name is split the way strtok splits it (runs of
// separators give no empty tokens), but without strtok's hidden state.
int addJobName(const char *text, InsertBuffer *buf, int count)
{
  if (count < 0)
    return -1;
  if (!text || count > kMaxBytes - 1)
    return count;

  const std::string_view name(text, strnlen(text, kJobNameWork));
  auto out = arvex::BoundedAppender::afterText(buf);
  size_t pos = 0;
  while (pos < name.size()) {
    const size_t begin = name.find_first_not_of('_', pos);
    if (begin == std::string_view::npos)
      break;
    size_t end = name.find('_', begin);
    if (end == std::string_view::npos)
      end = name.size();
    const std::string_view token = name.substr(begin, end - begin);
    // Decoded size: four characters per escape with a backslash, three
    // without.
    const int size = static_cast<int>(token.front() == '\\' ? token.size() / 4 : token.size() / 3);
    if (count + size > kMaxBytes)
      return -1;
    appendOctet(out, token);
    count += size;
    pos = end;
  }
  return count;
}

// The local time as "YYYY/MM/DD hh:mm".
int getCCPCurrentTime(char *out)
{
  if (!out)
    return -1;
  const time_t now = time(nullptr);
  struct tm local = {};
  if (now == static_cast<time_t>(-1) || !localtime_r(&now, &local)) {
    out[0] = '\0';
    return -1;
  }
  // Formatted in full, then cut to the 16 characters of the stamp (only a
  // year beyond 9999 is longer).
  char stamp[64] = {};
  std::snprintf(stamp, sizeof(stamp), "%.4d/%.2d/%.2d %.2d:%.2d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min);
  const size_t n = strnlen(stamp, ARVEX_MARKING_TIME_SIZE - 1);
  std::memcpy(out, stamp, n);
  out[n] = '\0';
  return 0;
}

// Assemble the marking text of the job's text type.
int getCCPCustomText(const JobInfo *job, InsertBuffer *text)
{
  const int type = getCCPTextType(job);
  if (type == 0)
    return userDefinedText(job, text);

  const TextParts parts = partsOf(type);
  int fromRecord = 0;
  int count = 0;
  bool first = true;

  // Append one part (after a blank when it is not the first); false once
  // the count broke, which latches err_no 1 and ends the text.
  auto add = [&](auto append, const char *part) {
    if (!first) {
      count = addLiteralText(" ", text, count);
      if (count < 0) {
        latchError(ARVEX_ERR_WRITER);
        return false;
      }
    }
    first = false;
    count = append(part, text, count);
    if (count < 0) {
      latchError(ARVEX_ERR_WRITER);
      return false;
    }
    return true;
  };

  bool userFromRecord = false;
  if (parts.user) {
    const char *user = jobOption(job, "com.arvex.printsettings.CCPUserName");
    if (!user) {
      user = job && job->userName ? job->userName : "";
      userFromRecord = true;
      fromRecord = 1;
    }
    if (!add(addLiteralText, user))
      return fromRecord;
  }

  if (parts.jobName) {
    const char *option = jobOption(job, "com.arvex.printsettings.CCPJobName");
    bool ok = false;
    if (option && !userFromRecord) {
      ok = add(addJobName, option);
    } else {
      // Next to a user name from the job record the option is taken as
      // plain text, like the title.
      fromRecord = 1;
      const char *name = option ? option : (job && job->jobTitle ? job->jobTitle : "");
      ok = add(addPPDUtf8Text, name);
    }
    if (!ok)
      return fromRecord;
  }

  if (parts.time) {
    char stamp[ARVEX_MARKING_TIME_SIZE] = {};
    getCCPCurrentTime(stamp);
    if (!add(addLiteralText, stamp))
      return fromRecord;
  }
  return fromRecord;
}

}  // extern "C"
