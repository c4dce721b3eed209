// A job's PDF made PostScript by Ghostscript's ps2write, run as a program of
// its own (ps_convert.cpp). No PAPPL here: it runs, and is tested, without a
// server.
#ifndef ARVEX_APP_PS_CONVERT_H
#define ARVEX_APP_PS_CONVERT_H

#include <functional>
#include <string>

namespace arvex::app {

// The PostScript, or why there is none.
struct PsConversion {
  int fd = -1;          // the PostScript, in an unlinked temporary file, read offset 0; closed with the object
  std::string problem;  // empty when the conversion worked; else one sentence for the job's message

  PsConversion() = default;
  PsConversion(PsConversion &&other) noexcept;
  PsConversion &operator=(PsConversion &&other) noexcept;
  PsConversion(const PsConversion &) = delete;
  PsConversion &operator=(const PsConversion &) = delete;
  ~PsConversion();
};

// Run Ghostscript's ps2write on the PDF read from pdfFd (from its current
// offset; a pipe or a file), grey when gray is true, at dpi, into an unlinked
// temporary file (mode 0600) in directory. The PDF is first copied to a
// second such file there, so that Ghostscript reads a file it may seek in
// and an empty or non-PDF document is refused before it runs; Ghostscript's
// own scratch files go to directory too. The program is $ARVEX_GHOSTSCRIPT,
// else gs on PATH; it gets a clean environment and four descriptors: the
// PDF, its messages (both output streams, a few KB of them kept for the
// problem text) and the PostScript. cancelled() is asked about every 100 ms;
// when it says true, Ghostscript gets SIGTERM, SIGKILL 2 s later if it is
// still there, and is reaped. No signal handler, no global state: one call
// per thread at once is fine.
PsConversion convertToPostScript(int pdfFd, bool gray, int dpi, const std::string &directory,
                                 const std::function<bool()> &cancelled);

}  // namespace arvex::app

#endif
