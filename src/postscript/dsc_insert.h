// Where the job-control texts go in a PostScript job, and the streaming copy
// that puts them there. Free of CUPS: the filter and the Printer Application
// both feed it a byte stream.
//
// A job may arrive in a PJL frame of its own; it is dropped (the caller
// writes the printer's frame), and so is the ^D that ends pstops's output.
// The comment lines go immediately before %%EndComments (or where the header
// comments end without it); the job-control block right after the first
// %%BeginSetup at the top level (not inside %%BeginDocument ... %%EndDocument
// nor inside the counted bytes of %%BeginBinary: and %%BeginData:), else
// right after the first %%EndProlog, else right after the header, and never
// after the first %%Page:. Every other byte is copied unchanged.
#ifndef ARVEX_POSTSCRIPT_DSC_INSERT_H
#define ARVEX_POSTSCRIPT_DSC_INSERT_H

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>

namespace arvex::ps {

class ByteSource {
public:
  virtual ~ByteSource() = default;
  // Up to size bytes into data: how many, 0 at the end, -1 on a failure.
  virtual ssize_t read(char *data, size_t size) = 0;
};

class ByteSink {
public:
  virtual ~ByteSink() = default;
  // All size bytes of data, or false.
  virtual bool write(const char *data, size_t size) = 0;
};

// What the job data turned out to be, once an incoming PJL header is off.
enum class InputKind {
  PostScript,
  Empty,
  Pdf,
  Pcl,
  DosEps,
  Other,
  SecondJob,  // more than PJL after the PostScript's closing exit language
  Unreadable
};

// "a PDF document", "PCL", ...: for the message that refuses the job.
const char *describeInput(InputKind kind);

enum class CopyResult {
  Done,
  ReadFailed,
  WriteFailed,
  // After a universal exit language the data holds more than PJL commands:
  // a second job that would print outside the block.
  SecondJob
};

// The texts to put in, each made of whole lines ended with lineEnd.
struct Insertions {
  std::string_view comments;
  std::string_view block;
  std::string_view lineEnd;  // written first when the text follows an unended last line
};

// Bytes the job data gives for the choice of its line end (the start of the
// PostScript, never of an incoming PJL header).
constexpr size_t kLineEndSampleSize = 4096;

// Bytes held back while looking for %%BeginSetup past %%EndProlog or the
// header: a job whose prolog is longer gets the block at the last place
// found by then (after %%EndProlog, else after the header).
constexpr size_t kHoldLimit = 4 << 20;

class DscInserter {
public:
  explicit DscInserter(ByteSource &in);
  ~DscInserter();
  DscInserter(const DscInserter &) = delete;
  DscInserter &operator=(const DscInserter &) = delete;

  // Read the start of the job: drop an incoming PJL header and tell what
  // follows. Nothing is written.
  InputKind readHead();

  // The first bytes of the PostScript (at most kLineEndSampleSize), after readHead.
  std::string_view sample() const;

  // Copy the PostScript to out with the texts in place. onPage runs for
  // each %%Page: at the top level, in order.
  CopyResult copy(ByteSink &out, const Insertions &texts, const std::function<void()> &onPage = {});

private:
  class Unwrapper;
  class Scanner;
  std::unique_ptr<Unwrapper> unwrap_;
  std::unique_ptr<Scanner> scan_;
};

}  // namespace arvex::ps

#endif
