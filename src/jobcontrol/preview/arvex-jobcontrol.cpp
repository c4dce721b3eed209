// arvex-jobcontrol: shows what the job-control library builds for a job on
// a queue, without printing anything.
//
//   arvex-jobcontrol [--login-comment | --target-comment] [--ppd FILE]
//                    job-id user title copies options [file]
//
// The arguments are the ones CUPS gives a filter, so a job can be replayed
// as the scheduler would run it. The text goes to standard output, the
// library's error code to standard error as "DEBUG: err_no=N", and the exit
// status is the entry's result (2 for a usage error or an unreadable file).

#include <arvex/error.h>
#include <arvex/jobcontrol.h>
#include <arvex/jobinfo.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kOutputSize = 64 * 1024;
constexpr size_t kSampleSize = 4096;
constexpr int kExitUsage = 2;

constexpr char kOutOfMemory[] = "arvex-jobcontrol: out of memory\n";
constexpr char kUsage[] =
    "Usage: arvex-jobcontrol [--login-comment | --target-comment] [--ppd FILE]\n"
    "                        job-id user title copies options [file]\n";

constexpr char kHelp[] =
    "Preview the PostScript job-control text the arvex job-control library\n"
    "builds for a job on a queue.\n"
    "\n"
    "The arguments are those CUPS gives a filter: job id, user, title, number\n"
    "of copies, job options (\"name=value ...\") and an optional file of job\n"
    "data. The queue's PPD is the file named by the PPD environment variable,\n"
    "or by --ppd.\n"
    "\n"
    "What is built (choose one; the default is the whole block):\n"
    "  (none)            the job-control block: host information, procedure\n"
    "                    definitions, synchro cut, background numbering, the\n"
    "                    job type with user and host identity, output bin,\n"
    "                    banner pages, colour balance, copy control and the\n"
    "                    driver mode\n"
    "  --login-comment   the personal-authentication \"%%LOGINGID:\" comment\n"
    "                    (empty when personal authentication is off)\n"
    "  --target-comment  the \"%%TargetDevice:\" comment from the PPD's\n"
    "                    Product and PSVersion\n"
    "\n"
    "Other options:\n"
    "  --ppd FILE        use FILE as the queue's PPD instead of $PPD\n"
    "  --help            show this help and exit\n"
    "\n"
    "How the job is set up, as for a real job: the PPD is marked with its\n"
    "defaults and then with the job options; the time zone is the job option\n"
    "com.arvex.printsettings.11ATimeZone, else the local zone; line ends follow\n"
    "the first 4096 bytes of the file (or of standard input when no file is\n"
    "named and standard input is not a terminal), LF without data.\n"
    "\n"
    "Output: the text on standard output, also after a failure (the library\n"
    "keeps what it had appended); \"DEBUG: err_no=N\" on standard error, N the\n"
    "library's error code: 0 none, 1 a writer failed, 6 a job option the\n"
    "library looked for was absent (usual, and harmless on success).\n"
    "\n"
    "Exit status: 0 built, 1 the library reported a failure, 2 usage error,\n"
    "the file could not be read or the output could not be written.\n"
    "\n"
    "Example:\n"
    "  arvex-jobcontrol --ppd /etc/cups/ppd/office.ppd 42 alice report 1 \\\n"
    "    'com.arvex.printsettings.11AJobType=\"Locked Print\" \\\n"
    "     com.arvex.printsettings.11AUserID=alice \\\n"
    "     com.arvex.printsettings.11APassword=1234' < /dev/null\n";

enum class Entry { Block, LoginComment, TargetComment };

struct Arguments {
  Entry entry = Entry::Block;
  const char *ppd = nullptr;
  std::vector<char *> filterArgs;  // argv[0] and the CUPS filter arguments
};

struct JobDeleter {
  void operator()(JobInfo *job) const { DisposeJobInfo(job); }
};

int usageError(const char *problem)
{
  std::fprintf(stderr, "arvex-jobcontrol: %s\n%sTry 'arvex-jobcontrol --help' for more information.\n", problem,
               kUsage);
  return kExitUsage;
}

// Parse the command line; returns -1 to go on, else the exit status.
int parseArguments(int argc, char *argv[], Arguments &args)
{
  args.filterArgs.push_back(argv[0]);
  bool entryChosen = false;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--") {
      ++i;
      break;
    }
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      std::fputs("\n", stdout);
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (arg == "--login-comment" || arg == "--target-comment") {
      if (entryChosen)
        return usageError("--login-comment and --target-comment exclude each other");
      entryChosen = true;
      args.entry = arg == "--login-comment" ? Entry::LoginComment : Entry::TargetComment;
    } else if (arg == "--ppd") {
      if (i + 1 >= argc)
        return usageError("--ppd needs a file name");
      args.ppd = argv[++i];
    } else if (arg.starts_with("--ppd=")) {
      args.ppd = argv[i] + std::strlen("--ppd=");
    } else if (arg.size() > 1 && arg[0] == '-') {
      const std::string problem = "unknown option " + std::string(arg);
      return usageError(problem.c_str());
    } else {
      break;
    }
  }
  const int positional = argc - i;
  if (positional < 5 || positional > 6)
    return usageError("expected job-id user title copies options [file]");
  for (; i < argc; ++i)
    args.filterArgs.push_back(argv[i]);
  args.filterArgs.push_back(nullptr);
  return -1;
}

// Up to 4096 bytes of the job data, for the choice of the line end. false
// (with a message) when the named file can't be read.
bool readSample(const char *file, std::string &sample)
{
  sample.assign(kSampleSize, '\0');
  size_t length = 0;
  if (file) {
    FILE *in = std::fopen(file, "rb");
    if (!in) {
      if (errno == ENOMEM)
        throw std::bad_alloc();
      std::fprintf(stderr, "arvex-jobcontrol: can't open \"%s\": %s\n", file, std::strerror(errno));
      return false;
    }
    length = std::fread(sample.data(), 1, sample.size(), in);
    const bool failed = std::ferror(in) != 0;
    std::fclose(in);
    if (failed) {
      std::fprintf(stderr, "arvex-jobcontrol: can't read \"%s\"\n", file);
      return false;
    }
  } else if (!isatty(STDIN_FILENO)) {
    length = std::fread(sample.data(), 1, sample.size(), stdin);
  }
  sample.resize(length);
  return true;
}

// Open the job record as the filter would, with its PPD marked.
std::unique_ptr<JobInfo, JobDeleter> openJob(Arguments &args)
{
  const char *ppdPath = args.ppd ? args.ppd : std::getenv("PPD");
  const int count = static_cast<int>(args.filterArgs.size()) - 1;
  std::unique_ptr<JobInfo, JobDeleter> job(CreateJobInfoWithPPD(count, args.filterArgs.data(), ppdPath));
  if (!job)
    return job;
  if (!job->ppd && ppdPath && *ppdPath) {
    int line = 0;
    const ppd_status_t status = ppdLastError(&line);
    std::fprintf(stderr, "arvex-jobcontrol: can't use PPD \"%s\": %s (line %d); previewing without it\n",
                 ppdPath, ppdErrorString(status), line);
  }
  if (job->ppd) {
    ppdMarkDefaults(job->ppd);
    cupsMarkOptions(job->ppd, job->numOptions, job->options);
  }
  getClientTimeZone(job.get());
  return job;
}


int preview(int argc, char *argv[])
{
  Arguments args;
  if (const int status = parseArguments(argc, argv, args); status >= 0)
    return status;

  // The file is the sixth filter argument, after argv[0] and five others.
  const char *file = args.filterArgs.size() == 8 ? args.filterArgs[6] : nullptr;
  std::string sample;
  if (!readSample(file, sample))
    return kExitUsage;

  auto job = openJob(args);
  if (!job) {
    std::fputs(kOutOfMemory, stderr);
    return 1;
  }
  std::vector<char> storage(kOutputSize, '\0');
  InsertBuffer out = {storage.data(), storage.size(), storage.data()};
  const int length = static_cast<int>(sample.size());

  int result = 1;
  switch (args.entry) {
  case Entry::Block:
    result = getInsertString(job.get(), &out, sample.data(), length);
    break;
  case Entry::LoginComment:
    result = getInsertComment(job.get(), &out, sample.data(), length);
    break;
  case Entry::TargetComment:
    result = getInsertCommentOfTargetDevice(job.get(), &out, sample.data(), length);
    break;
  }

  const size_t textLength = std::strlen(storage.data());
  const bool written = std::fwrite(storage.data(), 1, textLength, stdout) == textLength && std::fflush(stdout) == 0;
  std::fprintf(stderr, "DEBUG: err_no=%d\n", err_no);
  if (!written) {
    std::fprintf(stderr, "arvex-jobcontrol: can't write the output: %s\n", std::strerror(errno));
    return kExitUsage;
  }
  return result;
}

}  // namespace

int main(int argc, char *argv[])
{
  try {
    return preview(argc, argv);
  } catch (const std::bad_alloc &) {
    std::fputs(kOutOfMemory, stderr);
    return 1;
  }
}
