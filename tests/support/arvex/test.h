// What the tests share, one of each: fixtures and temporary files, an edited PPD, the filter's job record, a
// guarded InsertBuffer, a child process runner, a scripted side channel, the PJL frame, golden files and the
// tables of job → expected answer.
#ifndef ARVEX_TEST_H
#define ARVEX_TEST_H

#include <arvex/buffer.h>
#include <arvex/error.h>
#include <arvex/jobinfo.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <sys/syscall.h>
#include <string>
#include <vector>

#define PS "com.arvex.printsettings."  // the prefix of the print dialog's options

namespace arvex::test {

inline std::string fixture(const std::string &name) { return ARVEX_SOURCE_DIR "/fixtures/" + name; }
inline std::string built(const std::string &name) { return ARVEX_BINARY_DIR "/" + name; }
std::string repeat(const std::string &text, size_t times);
std::string trimmed(const std::string &text);  // without the spaces at either end
std::string readFile(const std::string &path);

// A file holding content, removed with the object.
class TempFile {
public:
  explicit TempFile(const std::string &content);
  ~TempFile();
  TempFile(const TempFile &) = delete;
  const std::string &path() const { return path_; }

private:
  std::string path_;
};

// fixtures/ppd/<name> with each line that begins with an edit's first text replaced by its second (several lines,
// or none when empty); an edit that matches no line appends its second text.
using PpdEdits = std::vector<std::pair<std::string, std::string>>;
struct EditedPpd : TempFile {
  EditedPpd(const std::string &name, const PpdEdits &edits);
};

// A PPD as the tables name one: a name in fixtures/ppd/, an absolute path or "" for none, then any edits
// " + PREFIX => LINES" as EditedPpd takes them.
class PpdFile {
public:
  explicit PpdFile(const std::string &spec);
  const std::string &path() const { return path_; }

private:
  std::unique_ptr<EditedPpd> edited_;
  std::string path_;
};

// The record of the filter's argv {"arvex-pdf-filter", "42", user, title, copies, options}: CreateJobInfoWithPPD
// with the PpdFile of ppd, then markJobPPD. err_no is 0 afterwards.
struct JobSpec {
  std::string ppd{}, options{}, user = "alice", title = "Report", copies = "1";
};
class TestJob {
public:
  explicit TestJob(const JobSpec &spec);
  JobInfo *get() const { return job_.get(); }
  char **argv() { return argv_.data(); }

private:
  std::vector<std::string> args_;
  std::vector<char *> argv_;
  PpdFile ppd_;
  std::unique_ptr<JobInfo, void (*)(JobInfo *)> job_{nullptr, DisposeJobInfo};
};

// An InsertBuffer over capacity zero-filled heap bytes and a guard behind them, poisoned for AddressSanitizer.
// guarded(): the guard untouched; intact(): that, the text terminated inside the capacity, the cursor on the terminator.
class GuardedBuffer {
public:
  explicit GuardedBuffer(size_t capacity);
  InsertBuffer *get() { return &buf_; }
  std::string text() const { return std::string(buf_.start, strnlen(buf_.start, buf_.capacity)); }
  bool guarded() const;
  bool intact() const;

private:
  std::unique_ptr<char[]> storage_;
  InsertBuffer buf_;
};

// A child process as Command::watch sees it while it runs, and as run() returns it.
struct Child {
  pid_t pid = 0;
  std::string out, err;
  bool inputDrained = false;  // held input: all sent, and read
  int exitCode = -1;          // -1 after a signal, also at Command::timeLimit
};
inline constexpr int kReleaseInput = -1;
struct Command {
  std::vector<std::string> argv{};     // argv[0]: the program's path
  std::vector<std::string> env{};      // changes to this environment: "NAME=value" sets, "NAME" removes
  std::string input{};                 // standard input, closed once sent...
  bool holdInput = false;              // ...or when watch returns kReleaseInput
  int sideChannel = -1;                // handed to the child as descriptor 4
  size_t closeOutputAfter = SIZE_MAX;  // bytes of standard output to read
  size_t stallOutputAfter = SIZE_MAX;  // bytes read before it stops reading, the pipe left open
  std::chrono::milliseconds timeLimit{30000};
  std::function<int(const Child &)> watch{};  // every few ms: 0, kReleaseInput, or a signal to send
};
Child run(const Command &command);
bool inCall(pid_t pid, long call, int fd);  // its main thread is blocked in read or write (call) on fd
int threadCount(pid_t pid);
std::string shell(const std::string &command, const std::string &input = "");  // its standard output
std::string written(const std::function<void(FILE *)> &writer);                // what writer wrote to its stream

// The backend's end of the CUPS side channel with its replies queued ahead: each request reads the next. Messages
// keep their bounds (SOCK_SEQPACKET).
class SideChannel {
public:
  SideChannel();
  ~SideChannel();
  int filterEnd() const { return ends_[0]; }  // above 9, so it may be dup2'ed onto 4 here
  void reply(int command, int status, const std::string &data);
  std::vector<std::pair<int, std::string>> requests();  // {command, data} since the last call; SNMP: the identifier

private:
  int ends_[2];
};

// The job a filter writes: UEL, job name, user name, settings, the switch to the language, data, UEL and end of
// job.
std::string pjlJob(const std::string &title, const std::string &user, const std::string &settings,
                   const std::string &data, const std::string &language = "PDF");

// Compare text with fixtures/golden/<name>, both normalised: 12-digit time stamps read YYYYMMDDhhmm, marking times
// YYYY/MM/DD hh:mm, /HostName values (HOST), ESC%-12345X <UEL>. ARVEX_GOLDEN_UPDATE=1 writes the normalised text
// to the file instead, for review.
std::string normalised(std::string text);
void expectGolden(const std::string &name, const std::string &text);

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

// The rows of the table fixtures/cases/NAME: a case a line, its fields parted by bars between spaces ("a | | c")
// and trimmed, the last taking the rest of the line; blank lines and "#" lines skipped. In a field, ${NAME} is the
// text of an earlier line "define NAME text" (${PS}: the print dialog's prefix, ${FIXTURES}: fixtures/), {N*text}
// is text N times, \xHH a byte, \n \r \t a line end or tab. NAME#SECTION: only the rows after the line
// "[SECTION]", up to the next "[" line (defines hold throughout). A row has `fields` texts, "" where the line ends
// early; `where` names the file and line.
struct CaseRow {
  std::string where;
  std::vector<std::string> field;
  const std::string &operator[](size_t i) const { return field[i]; }
  std::string value(size_t i, const std::string &fallback) const { return field[i].empty() ? fallback : field[i]; }
};
std::vector<CaseRow> caseTable(const std::string &name, size_t fields);

// Rows: reader | PPD | options | expected | err_no afterwards (0 when "") | user | title (alice, Report when "").
using Reader = std::string (*)(const JobInfo *);
void expectReaders(const std::string &table, const std::map<std::string, Reader> &readers);

// "=text": the text; else golden files (fixtures/golden/NAME.ps) joined. "\n" becomes lf.
std::string expectedText(const std::string &spec, const std::string &lf);
// Now, as UTC shifted by offset seconds, in a strftime format: the local time of a zone offset seconds east of UTC.
std::string utcStamp(time_t offset, const char *format);

using Writer = int (*)(const JobInfo *, InsertBuffer *, const char *lf);
// Rows: writer | PPD | options | result | err_no | line end (\n when "") | expected (as
// expectedText, or "|line|line": lines the output holds whole). The output: 8,192 guarded bytes.
void expectWriters(const std::string &table, const std::map<std::string, Writer> &writers);

}  // namespace arvex::test

#endif
