// Line-feed aware formatting into an InsertBuffer and the choice of the
// job's line end.

#include <arvex/buffer.h>

#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "bounded_text.h"

namespace {

// The formatting loop of lfsprintf: plain runs are copied whole, newlines
// become lf, and only %d, %s and %% are conversions.
void formatInto(arvex::BoundedAppender &out, const char *lf, const char *fmt, va_list *args)
{
  const char *f = fmt;
  while (*f) {
    const size_t run = std::strcspn(f, "%\n");
    out.append(std::string_view(f, run));
    f += run;
    if (*f == '\n') {
      out.append(lf);
      ++f;
    } else if (*f == '%') {
      if (f[1] == 'd') {
        char digits[16];
        // The analyzer loses track of a va_list handed down by address (it
        // was started in lfsprintf) and calls it uninitialized.
        // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized)
        const auto end = std::to_chars(digits, digits + sizeof(digits), va_arg(*args, int)).ptr;
        out.append(std::string_view(digits, static_cast<size_t>(end - digits)));
        f += 2;
      } else if (f[1] == 's') {
        out.append(va_arg(*args, const char *));  // NOLINT(clang-analyzer-valist.Uninitialized)
        f += 2;
      } else if (f[1] == '%') {
        out.append('%');
        f += 2;
      } else {
        // Not a directive: the sign stands for itself and the next character
        // is read as an ordinary one.
        out.append('%');
        ++f;
      }
    }
  }
}

enum class LfState { Start, Scan, AfterCR, FoundLF, FoundCR, FoundCRLF };

}  // namespace

extern "C" {

// Format fmt into buf at its cursor (see buffer.h for the directives).
void lfsprintf(const char *lf, InsertBuffer *buf, const char *fmt, ...)
{
  if (!fmt)
    return;
  arvex::BoundedAppender out = arvex::BoundedAppender::atCursor(buf);
  if (out.end() == nullptr)
    return;
  va_list args;
  va_start(args, fmt);
  formatInto(out, lf, fmt, &args);
  va_end(args);
  buf->cursor = out.end();
}

// Pick LF, CR or CR LF from the first line end of the sample.
int getLinefeedCode(const char *sample, InsertBuffer *out, int32_t length)
{
  const char *result = "\n";
  if (sample && length > 0) {
    LfState state = LfState::Start;
    for (int32_t pos = 0; pos < length;) {
      const char b = sample[pos];
      switch (state) {
      case LfState::Start:
        state = b == '\r' ? LfState::AfterCR : LfState::Scan;
        break;
      case LfState::Scan:
        state = b == '\r' ? LfState::AfterCR : b == '\n' ? LfState::FoundLF : LfState::Scan;
        break;
      case LfState::AfterCR:
        state = b == '\n' ? LfState::FoundCRLF : LfState::FoundCR;
        break;
      default:
        break;
      }
      if (++pos >= length)
        break;  // a line end right at the end of the sample is not trusted
      if (state == LfState::FoundLF)
        break;
      if (state == LfState::FoundCR) {
        result = "\r";
        break;
      }
      if (state == LfState::FoundCRLF) {
        result = "\r\n";
        break;
      }
    }
  }
  if (out && out->start)
    arvex::strlcpy(out->start, result, out->capacity);
  return 0;
}

}  // extern "C"
