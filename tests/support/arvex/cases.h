// Tables of job → expected answer for the PostScript library: readers'
// answers shown as text, a fragment writer's output against golden files.
#ifndef ARVEX_TEST_CASES_H
#define ARVEX_TEST_CASES_H

#include <arvex/error.h>

#include <ctime>
#include <span>
#include <sstream>

#include "arvex/test.h"

namespace arvex::test {

// Values joined by "|": numbers as digits, texts as they are, no text as "(null)".
inline std::string one(int value) { return std::to_string(value); }
inline std::string one(const char *text) { return text ? text : "(null)"; }
template <typename... Values>
std::string shown(Values... values)
{
  std::string text;
  ((text += one(values) + "|"), ...);
  return text.substr(0, text.size() - 1);
}
// A reader of job: the values of the expressions, which may use work[0..5].
#define ARVEX_READ(...) \
  [](const JobInfo *job) { char work[6][17] = {}; (void)work; return ::arvex::test::shown(__VA_ARGS__); }

struct ReaderCase {
  const char *ppd;  // for TestJob({ppd, options, user, title})
  std::string options;
  std::string (*read)(const JobInfo *);
  std::string expected;
  int err = 0;  // err_no afterwards
  std::string user = "alice", title = "Report";
};

inline void expectReaders(std::span<const ReaderCase> cases)
{
  for (const auto &c : cases) {
    const TestJob job({c.ppd, c.options, c.user, c.title});
    EXPECT_EQ(c.read(job.get()), c.expected) << c.ppd << " | " << c.options;
    EXPECT_EQ(err_no, c.err) << c.ppd << " | " << c.options;
  }
}

// "=text": the text; else golden files (fixtures/golden/NAME.ps) joined. "\n" becomes lf.
inline std::string expectedText(const std::string &spec, const std::string &lf)
{
  std::string text = spec.starts_with("=") ? spec.substr(1) : "", out;
  std::istringstream names(spec.starts_with("=") ? "" : spec);
  for (std::string name; names >> name;) {
    text += readFile(fixture("golden/" + name + ".ps"));
    EXPECT_TRUE(text.ends_with("\n")) << "golden file " << name;
  }
  for (char c : text)
    out += c == '\n' ? lf : std::string(1, c);
  return out;
}

// Now, as UTC shifted by offset seconds, in a strftime format: the local time
// of a zone offset seconds east of UTC.
inline std::string utcStamp(time_t offset, const char *format)
{
  const time_t shifted = time(nullptr) + offset;
  struct tm utc = {};
  gmtime_r(&shifted, &utc);
  char text[64] = {};
  strftime(text, sizeof(text), format, &utc);
  return text;
}

using Writer = int (*)(const JobInfo *, InsertBuffer *, const char *lf);

struct WriterCase {
  Writer write;
  const char *ppd;
  std::string options;
  std::string expected;  // as expectedText, or "|line|line": lines the output holds whole
  int result = 0, err = 0;
  const char *lf = "\n";
};

inline void expectWriters(std::span<const WriterCase> cases)
{
  for (const auto &c : cases) {
    const TestJob job({c.ppd, c.options});
    GuardedBuffer out(8192);
    const std::string where = std::string(c.ppd) + " | " + c.options;
    EXPECT_EQ(c.write(job.get(), out.get(), c.lf), c.result) << where;
    EXPECT_TRUE(out.intact()) << where;
    EXPECT_EQ(err_no, c.err) << where;
    if (!c.expected.starts_with("|")) {
      EXPECT_EQ(normalised(out.text()), normalised(expectedText(c.expected, c.lf))) << where;
      continue;
    }
    std::istringstream lines(c.expected.substr(1));
    for (std::string line; std::getline(lines, line, '|');)
      EXPECT_NE(out.text().find("\n" + line + "\n"), std::string::npos) << line << " not in\n" << out.text();
  }
}

}  // namespace arvex::test

#endif
