// The PJL option pass: the PJL commands of the PPD's marked choices, each
// followed by the authentication block, and the block once more at the end.
//
// Option commands are built at the size their data needs and written whole;
// the block goes through the job's insertion buffer.

#include "option_pass.h"

#include <arvex/error.h>
#include <arvex/pjl.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <syslog.h>
#include <unistd.h>

#include "../jobcontext/bounded_text.h"
#include "../jobcontext/job_lookup.h"

namespace {

bool contains(std::string_view text, std::string_view what)
{
  return text.find(what) != std::string_view::npos;
}

// A custom parameter's current value as the printer reads it in a PJL
// command: texts as they are (empty when there is none), integers with %d
// and the other numbers with %g.
std::string customValueText(const ppd_cparam_t *param)
{
  char number[64] = {};
  switch (param->type) {
  case PPD_CUSTOM_STRING:
  case PPD_CUSTOM_PASSWORD:
  case PPD_CUSTOM_PASSCODE: {
    const char *text = arvex::lookup::paramText(param);
    return text ? text : "";
  }
  case PPD_CUSTOM_INT:
    std::snprintf(number, sizeof(number), "%d", param->current.custom_int);
    break;
  case PPD_CUSTOM_REAL:
    std::snprintf(number, sizeof(number), "%g", static_cast<double>(param->current.custom_real));
    break;
  case PPD_CUSTOM_POINTS:
    std::snprintf(number, sizeof(number), "%g", static_cast<double>(param->current.custom_points));
    break;
  case PPD_CUSTOM_CURVE:
    std::snprintf(number, sizeof(number), "%g", static_cast<double>(param->current.custom_curve));
    break;
  case PPD_CUSTOM_INVCURVE:
    std::snprintf(number, sizeof(number), "%g", static_cast<double>(param->current.custom_invcurve));
    break;
  default:
    break;
  }
  return number;
}

// The PJL text a marked choice's code contributes; empty for none. "&copies;"
// stands for the copies argument; a code ending in \1 takes the current
// value of the option's first custom parameter, quoted, in place of the \1.
std::string pjlCommandFor(const JobInfo *job, const char *keyword, std::string_view code, std::string_view copies)
{
  if (!contains(code, "@PJL SET"))
    return {};
  std::string text;
  if (contains(code, "COPIES=&copies;")) {
    text.append("@PJL SET COLLATE=OFF\n@PJL SET COPIES=").append(copies).append("\n");
  } else if (contains(code, "QTY=&copies;")) {
    text.append("@PJL SET COLLATE=ON\n@PJL SET QTY=").append(copies).append("\n");
  } else if (contains(code, "\\1")) {
    const ppd_cparam_t *param = arvex::lookup::customParam(job, keyword, arvex::lookup::ParamKind::Any);
    if (!param)
      return {};
    text.append(code.substr(0, code.size() - 2)).append("\"");
    text.append(customValueText(param)).append("\"\n");
  } else {
    text.append(code).append("\n");
  }
  return text;
}

// The copies argument, as the scheduler passed it.
std::string_view copiesArgument(char *argv[])
{
  return (argv && argv[1] && argv[2] && argv[3] && argv[4]) ? argv[4] : "";
}

// Whether the system log has a socket to take the trace. Without one, the
// C library tries to connect again on every syslog call and drops the line,
// three system calls for nothing on each of the four lines per option; the
// pass then leaves its trace out.
bool systemLogAvailable()
{
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  arvex::strlcpy(address.sun_path, _PATH_LOG, sizeof(address.sun_path));
  for (const int type : {SOCK_DGRAM, SOCK_STREAM}) {
    const int fd = socket(AF_UNIX, type | SOCK_CLOEXEC, 0);
    if (fd < 0)
      continue;
    const bool connected = connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) == 0;
    close(fd);
    if (connected)
      return true;
  }
  return false;
}

// Trace of the group about to be walked.
void logGroup(int index, const ppd_group_t &group)
{
  syslog(LOG_ERR, ">>>>>>>>>>>>>>>>>>>>\n");
  syslog(LOG_ERR, "Group %d :\n", index);
  syslog(LOG_ERR, "%s\n", group.name);
  syslog(LOG_ERR, "%s\n", group.text);
}

// Trace of the option about to be examined.
void logOption(int index, const ppd_option_t &option)
{
  syslog(LOG_ERR, "--------------------\n");
  syslog(LOG_ERR, "Option %d :\n", index);
  syslog(LOG_ERR, "%s\n", option.keyword);
  syslog(LOG_ERR, "%s\n", option.text);
}

}  // namespace

extern "C" {

// The PJL text of one option's marked choice (see pjl.h).
size_t getPJLOptionCommand(const JobInfo *job, const char *keyword, const char *copies, char *out, size_t size)
{
  if (out && size > 0)
    out[0] = '\0';
  if (!job || !job->ppd || !keyword)
    return 0;
  const ppd_choice_t *choice = ppdFindMarkedChoice(job->ppd, keyword);
  if (!choice || !choice->code)
    return 0;
  try {
    const std::string text = pjlCommandFor(job, keyword, choice->code, copies ? copies : "");
    if (out && size > 0) {
      const size_t n = text.size() < size ? text.size() : size - 1;
      std::memcpy(out, text.data(), n);
      out[n] = '\0';
    }
    return text.size();
  } catch (const std::bad_alloc &) {
    latchError(ARVEX_ERR_MEMORY);
    return 0;
  }
}

// Append the block, write what was appended, empty the buffer.
int flushAuthenticationBlock(const JobInfo *job, InsertBuffer *insertion, FILE *out)
{
  if (!insertion || !insertion->start)
    return 0;
  int result = 0;
  if (getInsertPJL(job, insertion, nullptr, 0) == 0) {
    const size_t length = std::strlen(insertion->start);
    if (length > 0 && std::fwrite(insertion->start, length, 1, out) != 1) {
      latchError(ARVEX_ERR_WRITE);
      result = 1;
    }
  }
  std::memset(insertion->start, 0, insertion->capacity);
  insertion->cursor = insertion->start;
  return result;
}

}  // extern "C"

// Walk the PPD's groups and options in order; without a PPD only the final
// flush runs.
int runPjlOptionPass(const JobInfo *job, FILE *out, InsertBuffer *insertion, char *argv[], bool trace)
{
  const std::string_view copies = copiesArgument(argv);
  ppd_file_t *ppd = job ? job->ppd : nullptr;
  trace = trace && ppd && ppd->num_groups > 0 && systemLogAvailable();
  for (int g = 0; ppd && g < ppd->num_groups; ++g) {
    const ppd_group_t &group = ppd->groups[g];
    if (trace)
      logGroup(g, group);
    for (int o = 0; o < group.num_options; ++o) {
      const ppd_option_t &option = group.options[o];
      if (trace)
        logOption(o, option);
      const ppd_choice_t *choice = ppdFindMarkedChoice(ppd, option.keyword);
      if (!choice || !choice->code)
        continue;
      if (trace)
        syslog(LOG_ERR, "command: %s\n", choice->code);
      if (!std::strstr(choice->code, "@PJL SET"))
        continue;
      // The write of an option command is not checked: the flush that
      // follows reports a broken output.
      const std::string text = pjlCommandFor(job, option.keyword, choice->code, copies);
      if (!text.empty())
        std::fwrite(text.data(), text.size(), 1, out);
      if (flushAuthenticationBlock(job, insertion, out) != 0)
        return 1;
    }
  }
  return flushAuthenticationBlock(job, insertion, out);
}
