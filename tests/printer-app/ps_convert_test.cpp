// PDFs made PostScript by the real Ghostscript, read back by Ghostscript's inkcov device and pdfinfo; documents
// and programs that fail; a cancelled conversion; nothing left in the directory.
#include "ps_convert.h"

#include <arvex/test.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace arvex::app;
using namespace arvex::test;

namespace {

struct Scratch {  // a directory for the conversions, which must be empty again afterwards
  std::string path = shell("printf %s \"$(mktemp -d)\"");
  ~Scratch() { std::filesystem::remove_all(path); }
  bool empty() const { return std::filesystem::is_empty(path); }
};

struct Env {  // a variable set (or removed: nullptr) for the scope
  Env(const char *name, const char *value) : name_(name)
  {
    if (const char *old = getenv(name))
      old_ = old;
    value ? setenv(name, value, 1) : unsetenv(name);
  }
  ~Env() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }
  const char *name_;
  std::optional<std::string> old_;
};

enum class From { File, Offset, Pipe };

// Converts pdf, read from a file, from a file after 100 bytes read already, or from a pipe.
PsConversion convert(const std::string &pdf, From from, bool gray, const std::string &dir,
                     const std::function<bool()> &cancelled = [] { return false; })
{
  TempFile file(from == From::Offset ? std::string(100, '%') + pdf : pdf);
  int ends[2] = {-1, -1};
  char skipped[100];
  if (from == From::Pipe ? pipe(ends) != 0 : (ends[0] = open(file.path().c_str(), O_RDONLY)) < 0 ||
                                                 (from == From::Offset && read(ends[0], skipped, 100) != 100)) {
    ADD_FAILURE() << "no input";
    return {};
  }
  std::thread writer;
  if (from == From::Pipe)
    writer = std::thread([&] { (void)!write(ends[1], pdf.data(), pdf.size()), close(ends[1]); });
  PsConversion result = convertToPostScript(ends[0], gray, 300, dir, cancelled);
  if (writer.joinable())
    writer.join();
  close(ends[0]);
  return result;
}

std::string gsPdf(const std::string &ps) { return shell("gs -q -dSAFER -o - -sDEVICE=pdfwrite -", ps); }

}  // namespace

TEST(PsConvert, PagesAndColoursFourAtOnce)
{
  const std::string red = gsPdf("%!PS\n1 0 0 setrgbcolor 100 100 200 200 rectfill showpage\n");
  const struct Row {
    std::string name, pdf;
    From from;
    bool gray, coloured;  // coloured: inkcov finds magenta and yellow, else no cyan, magenta or yellow at all
  } rows[] = {{"sample", readFile(fixture("sample.pdf")), From::File, false, false},
              {"three pages", gsPdf(readFile(fixture("ps/three-pages.ps"))), From::Pipe, true, false},
              {"red", red, From::Offset, false, true},
              {"red in grey", red, From::Pipe, true, false}};
  Scratch dir;
  std::vector<PsConversion> results(std::size(rows));
  std::vector<std::thread> threads;
  for (size_t i = 0; i < std::size(rows); ++i)
    threads.emplace_back([&, i] { results[i] = convert(rows[i].pdf, rows[i].from, rows[i].gray, dir.path); });
  for (auto &thread : threads)
    thread.join();
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(rows[i].name);
    ASSERT_EQ(results[i].problem, "");
    struct stat info {};
    ASSERT_EQ(fstat(results[i].fd, &info), 0);
    EXPECT_EQ(info.st_nlink, 0u);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(lseek(results[i].fd, 0, SEEK_CUR), 0);
    const std::string ps = readFile("/proc/self/fd/" + std::to_string(results[i].fd));
    EXPECT_TRUE(ps.starts_with("%!PS-Adobe-3.0\n")) << ps.substr(0, 40);
    EXPECT_NE(ps.find("\n%%EndProlog"), std::string::npos);
    TempFile pdf(rows[i].pdf), psFile(ps);
    const std::string pages = shell("pdfinfo " + pdf.path() + " | sed -n 's/^Pages: *//p'");
    std::istringstream inkcov(shell("gs -q -dSAFER -o - -sDEVICE=inkcov " + psFile.path()));
    int printed = 0;
    for (double c, m, y, k; inkcov >> c >> m >> y >> k && inkcov.ignore(100, '\n'); ++printed)
      EXPECT_EQ(m > 0 && y > 0, rows[i].coloured) << "page " << printed + 1 << ": " << c << " " << m << " " << y;
    EXPECT_EQ(std::to_string(printed) + "\n", pages);
  }
  results.clear();
  EXPECT_TRUE(dir.empty());
}

TEST(PsConvert, DocumentsAndProgramsThatFail)
{
  Scratch dir;
  const std::string sample = readFile(fixture("sample.pdf"));
  const std::string fake = "#!/bin/sh\nfor a; do case $a in -sOutputFile=*) out=${a#-sOutputFile=};; esac; done\n";
  const struct Row {
    std::string pdf, program, path, problem;  // program: a script, or a name as it is; path: PATH, when not ""
  } rows[] = {
      {"", "", "", "The document is empty."},
      {shell("head -c 4096 /dev/urandom"), "", "", "The document is not a PDF file."},
      {"%PDF-1.4\n" + std::string(4000, '%'), "", "", "Ghostscript can't convert the document: "},
      {sample, "/nonexistent", "", "Ghostscript (/nonexistent) is not installed."},
      {sample, "", "/nonexistent", "Ghostscript (gs) is not installed."},
      {sample, fake + "exit 0", "", "Ghostscript wrote no PostScript."},
      {sample, fake + "echo '%PDF' > $out", "", "Ghostscript's output is not PostScript."},
      {sample, fake + "echo '%!PS' > $out; kill -KILL $$", "", "Ghostscript stopped on signal 9 ("},
      {sample, fake + "echo '%!PS' > $out; exit 3", "", "Ghostscript can't convert the document (exit status 3)."},
      {sample, fake + "printf '\\n   **** Error: \\033x\\377 fault.  \\nnext\\n' >&2; exit 1", "",
       "Ghostscript can't convert the document: Error: ?x? fault."},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.problem);
    TempFile script(row.program);
    chmod(script.path().c_str(), 0700);
    Env program("ARVEX_GHOSTSCRIPT", row.program.starts_with("#!") ? script.path().c_str()
                                     : row.program.empty()          ? nullptr
                                                                    : row.program.c_str());
    Env path("PATH", row.path.empty() ? getenv("PATH") : row.path.c_str());
    const PsConversion result = convert(row.pdf, From::Pipe, false, dir.path);
    EXPECT_EQ(result.fd, -1);
    EXPECT_TRUE(result.problem.starts_with(row.problem)) << result.problem;
    EXPECT_EQ(result.problem.find_first_of("\n\r"), std::string::npos);
    EXPECT_TRUE(dir.empty());
  }
}

TEST(PsConvert, CancelledWhileGhostscriptIgnoresSigterm)
{
  Scratch dir;
  TempFile pid(""), fds(""), env("");
  TempFile script("#!/bin/sh\ntrap '' TERM\nls /proc/$$/fd > " + fds.path() + "\nenv > " + env.path() +
                  "\necho $$ > " + pid.path() + "\nexec sleep 30\n");
  chmod(script.path().c_str(), 0700);
  Env program("ARVEX_GHOSTSCRIPT", script.path().c_str()), secret("ARVEX_TEST_SECRET", "1234");
  const int opened = open("/dev/null", O_RDONLY), leaked = fcntl(opened, F_DUPFD, 50);  // not close-on-exec
  close(opened);
  const auto start = std::chrono::steady_clock::now();
  const PsConversion result = convert(readFile(fixture("sample.pdf")), From::File, false, dir.path,
                                      [&] { return !readFile(pid.path()).empty(); });
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));  // not the script's 30 s
  EXPECT_EQ(result.problem, "The job was cancelled while it was converted to PostScript.");
  EXPECT_EQ(result.fd, -1);
  EXPECT_EQ(kill(std::stoi(readFile(pid.path())), 0), -1);  // reaped: no such process, not even a zombie
  EXPECT_EQ(("\n" + readFile(fds.path())).find("\n" + std::to_string(leaked) + "\n"), std::string::npos);
  EXPECT_EQ(readFile(env.path()).find("ARVEX_TEST_SECRET"), std::string::npos);
  EXPECT_NE(readFile(env.path()).find("TMPDIR=" + dir.path + "\n"), std::string::npos);
  EXPECT_TRUE(dir.empty());
  close(leaked);

  int ends[2];  // a pipe that neither ends nor brings anything: cancelled while the document is read
  ASSERT_EQ(pipe(ends), 0);
  int asked = 0;
  EXPECT_EQ(convertToPostScript(ends[0], false, 300, dir.path, [&] { return ++asked == 3; }).problem, result.problem);
  close(ends[0]), close(ends[1]);
}
