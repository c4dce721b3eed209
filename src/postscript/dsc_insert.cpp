// The insertion rules for PostScript jobs (see dsc_insert.h). Two layers:
// the Unwrapper takes an incoming PJL frame and pstops's trailing ^D off the
// raw bytes; the Scanner reads the PostScript it leaves, finds the
// insertion points in its document structuring comments and streams it on.

#include "dsc_insert.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace arvex::ps {
namespace {

constexpr std::string_view kUel = "\033%-12345X";
constexpr char kEsc = '\033';
constexpr char kCtrlD = '\004';
constexpr size_t kChunk = 128 * 1024;
// An incoming PJL header longer than this is not one.
constexpr size_t kPjlHeadLimit = 64 * 1024;
// What may follow the closing universal exit language: PJL lines only.
constexpr size_t kTrailerLimit = 16 * 1024;
// The bytes of a line that tell which comment it is (DSC lines are at most
// 255 bytes long).
constexpr size_t kLineHead = 256;

bool isLineEnd(char c)
{
  return c == '\n' || c == '\r';
}

bool isBlank(char c)
{
  return c == ' ' || c == '\t';
}

bool startsWith(std::string_view text, std::string_view prefix)
{
  return text.substr(0, prefix.size()) == prefix;
}

// A DSC keyword without arguments or with them after a blank or colon.
bool isKeyword(std::string_view line, std::string_view keyword)
{
  return startsWith(line, keyword) &&
         (line.size() == keyword.size() || isBlank(line[keyword.size()]) || line[keyword.size()] == ':');
}

bool containsNoCase(std::string_view text, std::string_view word)
{
  return std::search(text.begin(), text.end(), word.begin(), word.end(), [](char a, char b) {
           return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
         }) != text.end();
}

// The first place in [p, end) where byte a is followed by byte b, or the
// last byte when it is a (the pair may go on beyond end), or end. With AVX2
// thirty-two places a step: the pairs looked for ("%%", ESC "%") are rare in
// binary data, where a search for the single bytes would stop every few
// hundred bytes.
const char *findPairBytewise(const char *p, const char *end, char a, char b)
{
  for (; p < end; ++p)
    if (*p == a && (p + 1 == end || p[1] == b))
      return p;
  return end;
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) const char *findPairAvx2(const char *p, const char *end, char a, char b)
{
  const __m256i first = _mm256_set1_epi8(a), second = _mm256_set1_epi8(b);
  for (; end - p > 32; p += 32) {
    const __m256i here = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
    const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p + 1));
    const __m256i both = _mm256_and_si256(_mm256_cmpeq_epi8(here, first), _mm256_cmpeq_epi8(next, second));
    if (const int hits = _mm256_movemask_epi8(both))
      return p + __builtin_ctz(static_cast<unsigned>(hits));
  }
  return findPairBytewise(p, end, a, b);
}

// Chosen once: AVX2 where the processor has it.
const auto findPair = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") ? findPairAvx2 : findPairBytewise;
}();
#else
const auto findPair = findPairBytewise;
#endif

// Where the first universal exit language at or after from begins, or npos.
size_t findUel(std::string_view text, size_t from)
{
  const char *end = text.data() + text.size();
  for (const char *p = text.data() + from; (p = findPair(p, end, kEsc, '%')) < end; ++p)
    if (std::string_view(p, std::min<size_t>(end - p, kUel.size())) == kUel)
      return static_cast<size_t>(p - text.data());
  return std::string_view::npos;
}

// Whether what follows a universal exit language is a PJL trailer: PJL
// command lines, more exit languages, blanks, line ends and ^D.
bool isPjlTrailer(std::string_view rest)
{
  size_t i = 0;
  while (i < rest.size()) {
    const std::string_view tail = rest.substr(i);
    if (startsWith(tail, kUel)) {
      i += kUel.size();
    } else if (startsWith(tail, "@PJL")) {
      const size_t end = tail.find_first_of("\r\n");
      i += end == std::string_view::npos ? tail.size() : end;
    } else if (isBlank(tail[0]) || isLineEnd(tail[0]) || tail[0] == kCtrlD || tail[0] == '\f') {
      ++i;
    } else {
      return false;
    }
  }
  return true;
}

enum class Dsc {
  None,
  EndComments,
  BeginSetup,
  EndProlog,
  Page,
  Trailer,
  Eof,
  BeginDocument,
  EndDocument,
  BeginBinary,
  BeginData,
  OtherSection  // any other %%Begin... or %%End...: no header comment
};

Dsc classify(std::string_view line)
{
  if (!startsWith(line, "%%"))
    return Dsc::None;
  struct Keyword {
    std::string_view text;
    Dsc kind;
  };
  static constexpr Keyword kKeywords[] = {
      {"%%EndComments", Dsc::EndComments},     {"%%BeginSetup", Dsc::BeginSetup},
      {"%%EndProlog", Dsc::EndProlog},         {"%%Trailer", Dsc::Trailer},
      {"%%EOF", Dsc::Eof},                     {"%%BeginDocument", Dsc::BeginDocument},
      {"%%EndDocument", Dsc::EndDocument},     {"%%BeginBinary", Dsc::BeginBinary},
      {"%%BeginData", Dsc::BeginData},
  };
  if (startsWith(line, "%%Page:"))
    return Dsc::Page;
  for (const Keyword &k : kKeywords)
    if (isKeyword(line, k.text))
      return k.kind;
  if (startsWith(line, "%%Begin") || startsWith(line, "%%End"))
    return Dsc::OtherSection;
  return Dsc::None;
}

// The counted section a %%BeginBinary: or %%BeginData: line opens: its size
// and whether it counts lines rather than bytes. A count that is missing or
// no number opens nothing.
struct Counted {
  unsigned long long count = 0;
  bool lines = false;
};

Counted parseCounted(std::string_view line, Dsc kind)
{
  Counted counted;
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos)
    return counted;
  std::string args(line.substr(colon + 1));
  const char *p = args.c_str();
  while (isBlank(*p))
    ++p;
  if (*p < '0' || *p > '9')
    return counted;
  char *end = nullptr;
  counted.count = std::strtoull(p, &end, 10);
  if (kind == Dsc::BeginData) {
    // %%BeginData: count [type [Bytes|Lines]]
    std::string_view rest(end);
    size_t words = 0;
    while (!rest.empty()) {
      while (!rest.empty() && isBlank(rest[0]))
        rest.remove_prefix(1);
      const size_t len = std::min(rest.find_first_of(" \t"), rest.size());
      if (len == 0)
        break;
      if (++words == 2)
        counted.lines = rest.substr(0, len) == "Lines";
      rest.remove_prefix(len);
    }
  }
  return counted;
}

}  // namespace

const char *describeInput(InputKind kind)
{
  switch (kind) {
  case InputKind::PostScript:
    return "PostScript";
  case InputKind::Empty:
    return "empty";
  case InputKind::Pdf:
    return "a PDF document";
  case InputKind::Pcl:
    return "PCL";
  case InputKind::DosEps:
    return "an EPS file with a DOS binary header";
  case InputKind::SecondJob:
    return "two jobs in one";
  case InputKind::Unreadable:
    return "unreadable";
  case InputKind::Other:
    break;
  }
  return "not PostScript";
}

// ---- The first layer: the incoming frame off ------------------------------

class DscInserter::Unwrapper : public ByteSource {
public:
  explicit Unwrapper(ByteSource &raw) : raw_(raw), buf_(kChunk) {}

  InputKind readHead();
  ssize_t read(char *data, size_t size) override;
  bool secondJob() const { return secondJob_; }

private:
  size_t avail() const { return end_ - pos_; }
  const char *at() const { return buf_.data() + pos_; }
  std::string_view view() const { return {at(), avail()}; }
  bool fill(size_t want);
  bool skipPjlHead();
  int takeTrailer();

  ByteSource &raw_;
  std::vector<char> buf_;
  size_t pos_ = 0;
  size_t end_ = 0;
  bool eof_ = false;
  bool ended_ = false;
  bool readFailed_ = false;
  bool secondJob_ = false;
};

// Make at least want bytes available (fewer only at the end of the data).
bool DscInserter::Unwrapper::fill(size_t want)
{
  if (avail() >= want || eof_)
    return true;
  if (pos_ > 0) {
    std::memmove(buf_.data(), at(), avail());
    end_ -= pos_;
    pos_ = 0;
  }
  if (want > buf_.size())
    buf_.resize(want);
  while (avail() < want && !eof_) {
    const ssize_t got = raw_.read(buf_.data() + end_, buf_.size() - end_);
    if (got < 0) {
      readFailed_ = true;
      return false;
    }
    if (got == 0)
      eof_ = true;
    end_ += static_cast<size_t>(got);
  }
  return true;
}

// Drop a PJL header: its exit languages, @PJL lines and blank lines, up to
// and including the ENTER LANGUAGE line, or up to the first other line when
// it has none. false when it can't be read or is too long to be one.
bool DscInserter::Unwrapper::skipPjlHead()
{
  size_t taken = 0;
  for (;;) {
    if (!fill(kUel.size()) || taken > kPjlHeadLimit)
      return false;
    const std::string_view rest = view();
    if (rest.empty())
      return true;
    size_t len = 0;
    bool enter = false;
    if (startsWith(rest, kUel)) {
      len = kUel.size();
    } else if (isBlank(rest[0]) || isLineEnd(rest[0])) {
      len = 1;
    } else if (startsWith(rest, "@PJL")) {
      size_t end = rest.find_first_of("\r\n");
      while (end == std::string_view::npos && !eof_ && avail() <= kPjlHeadLimit) {
        if (!fill(avail() + 1))
          return false;
        end = view().find_first_of("\r\n");
      }
      if (end == std::string_view::npos && !eof_)
        return false;
      const std::string_view line = view().substr(0, end);
      enter = containsNoCase(line, "ENTER") && containsNoCase(line, "LANGUAGE");
      len = line.size();
    } else {
      return true;
    }
    pos_ += len;
    taken += len;
    if (enter) {
      // The language starts after this line's end; blank lines before it go too.
      while (fill(1) && avail() > 0 && isLineEnd(*at()))
        ++pos_;
      return !readFailed_;
    }
  }
}

InputKind DscInserter::Unwrapper::readHead()
{
  if (!fill(kUel.size()))
    return InputKind::Unreadable;
  if (startsWith(view(), kUel) && !skipPjlHead())
    return readFailed_ ? InputKind::Unreadable : InputKind::Other;
  if (!fill(4))
    return InputKind::Unreadable;
  const std::string_view start = view();
  if (start.empty())
    return InputKind::Empty;
  if (startsWith(start, "%!"))
    return InputKind::PostScript;
  if (startsWith(start, "%PDF"))
    return InputKind::Pdf;
  if (startsWith(start, "\xC5\xD0\xD3\xC6"))
    return InputKind::DosEps;
  if (start[0] == kEsc)
    return InputKind::Pcl;
  return InputKind::Other;
}

// At a universal exit language: read the rest, which must be a PJL
// trailer. 0 when it is (the data ends here), 1 when more follows, -1 when
// it can't be read.
int DscInserter::Unwrapper::takeTrailer()
{
  std::string rest;
  for (;;) {
    rest.append(view());
    pos_ = end_;
    if (eof_)
      break;
    if (rest.size() > kTrailerLimit)
      return 1;
    if (!fill(1))
      return -1;
  }
  return isPjlTrailer(rest) ? 0 : 1;
}

ssize_t DscInserter::Unwrapper::read(char *data, size_t size)
{
  for (;;) {
    if (ended_ || size == 0)
      return 0;
    if (!fill(kUel.size() + 1))
      return -1;
    const std::string_view rest = view();
    if (rest.empty()) {
      ended_ = true;
      return 0;
    }
    // The last byte of the data, when it is a ^D, and a ^D before the
    // closing exit language are pstops's end of file: they go.
    if (rest[0] == kCtrlD && (rest.size() == 1 || startsWith(rest.substr(1), kUel))) {
      ++pos_;
      continue;
    }
    if (startsWith(rest, kUel)) {
      const int trailer = takeTrailer();
      if (trailer == 0) {
        ended_ = true;
        return 0;
      }
      secondJob_ = trailer > 0;
      return -1;
    }
    // Hand out everything up to the next exit language (and a ^D before it).
    // Until the data ends, its last bytes stay: an exit language, or a ^D
    // before one, may begin there.
    size_t give = std::min(size, eof_ ? rest.size() : rest.size() - kUel.size());
    const size_t j = findUel(rest.substr(0, std::min(rest.size(), give + kUel.size())), 1);
    if (j != std::string_view::npos)
      give = std::min(give, rest[j - 1] == kCtrlD ? j - 1 : j);
    if (give == rest.size() && rest.back() == kCtrlD)
      --give;
    give = std::max<size_t>(give, 1);
    std::memcpy(data, rest.data(), give);
    pos_ += give;
    return static_cast<ssize_t>(give);
  }
}

// ---- The second layer: the comments and the block in ----------------------

class DscInserter::Scanner {
public:
  explicit Scanner(ByteSource &body) : body_(body), buf_(kChunk + kLineHead + 2) {}

  bool prime();
  std::string_view sample() const { return {buf_.data(), std::min(end_, kLineEndSampleSize)}; }
  CopyResult copy(ByteSink &out, const Insertions &texts, const std::function<void()> &onPage);

private:
  enum class Mode { Header, Scan, ToLineEnd, Binary, BinaryLines };
  enum class Phase { Header, Pending, Done };

  struct Line {
    size_t length = 0;      // bytes before the line end, as far as seen
    size_t endLength = 0;   // 1 or 2, 0 when the line end lies beyond the head
  };

  bool more();
  bool lineAt(size_t &j, Line &line);
  bool atLineStart(size_t j) const { return j == 0 ? startsLine_ : isLineEnd(buf_[j - 1]); }
  void flush();
  void emit(const char *data, size_t size);
  void write(std::string_view text);
  void insert(std::string_view text, char before);
  void startPending();
  void commit(size_t at);
  void headerLine(size_t j, const Line &line);
  void comment(size_t j, const Line &line);
  void consume(size_t j, const Line &line, Dsc event, Mode back);
  void after(Dsc event);
  bool passBinaryLines();
  void finish();

  ByteSource &body_;
  std::vector<char> buf_;
  size_t pos_ = 0;   // first byte not yet emitted
  size_t scan_ = 0;  // where the look goes on
  size_t end_ = 0;
  bool eof_ = false;
  bool startsLine_ = true;  // the byte before buf_[0] ends a line (or there is none)

  ByteSink *out_ = nullptr;
  Insertions texts_;
  const std::function<void()> *onPage_ = nullptr;
  bool writeFailed_ = false;
  char last_ = '\n';  // the last byte written (a line end before anything)

  Mode mode_ = Mode::Header;
  Mode back_ = Mode::Scan;
  Phase phase_ = Phase::Header;
  bool firstLine_ = true;
  Dsc pending_ = Dsc::None;
  Counted counted_;
  unsigned long long left_ = 0;
  unsigned depth_ = 0;

  bool holding_ = false;
  std::string hold_;
  char beforeHold_ = '\n';
  size_t prologEnd_ = std::string::npos;
};

bool DscInserter::Scanner::prime()
{
  while (end_ < kLineEndSampleSize && !eof_)
    if (!more())
      return false;
  return true;
}

// Emit what is decided, keep the rest and read more behind it.
bool DscInserter::Scanner::more()
{
  flush();
  if (pos_ > 0) {
    startsLine_ = isLineEnd(buf_[pos_ - 1]);
    std::memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
    end_ -= pos_;
    scan_ -= pos_;
    pos_ = 0;
  }
  if (eof_)
    return true;
  const ssize_t got = body_.read(buf_.data() + end_, buf_.size() - end_);
  if (got < 0)
    return false;
  if (got == 0)
    eof_ = true;
  end_ += static_cast<size_t>(got);
  return true;
}

// The line that starts at j, at least its first kLineHead bytes, with j
// moved when more had to be read. false when the data can't be read.
bool DscInserter::Scanner::lineAt(size_t &j, Line &line)
{
  for (;;) {
    const size_t limit = std::min(end_, j + kLineHead + 1);
    const char *stop = std::find_if(buf_.data() + j, buf_.data() + limit, isLineEnd);
    const size_t t = static_cast<size_t>(stop - buf_.data());
    const bool crAtEnd = t < end_ && buf_[t] == '\r' && t + 1 == end_ && !eof_;
    if (t < limit && !crAtEnd) {
      line.length = t - j;
      line.endLength = buf_[t] == '\r' && t + 1 < end_ && buf_[t + 1] == '\n' ? 2 : 1;
      return true;
    }
    if (!crAtEnd && (limit - j > kLineHead || eof_)) {
      line.length = limit - j;
      line.endLength = 0;
      return true;
    }
    scan_ = j;
    if (!more())
      return false;
    j = scan_;
  }
}

void DscInserter::Scanner::flush()
{
  if (scan_ > pos_)
    emit(buf_.data() + pos_, scan_ - pos_);
  pos_ = scan_;
}

void DscInserter::Scanner::write(std::string_view text)
{
  if (text.empty() || writeFailed_)
    return;
  if (!out_->write(text.data(), text.size()))
    writeFailed_ = true;
  last_ = text.back();
}

// Job bytes go to the printer, or into the hold while the block's place is
// still open; a hold that grows past its limit gives the block its place.
void DscInserter::Scanner::emit(const char *data, size_t size)
{
  if (size == 0)
    return;
  if (holding_ && hold_.size() + size > kHoldLimit)
    commit(prologEnd_ != std::string::npos ? prologEnd_ : 0);
  if (holding_) {
    hold_.append(data, size);
    return;
  }
  write({data, size});
}

// Insert text after the byte before; a line that the data left unended
// gets its line end first.
void DscInserter::Scanner::insert(std::string_view text, char before)
{
  if (text.empty())
    return;
  if (!isLineEnd(before))
    write(texts_.lineEnd);
  write(text);
}

void DscInserter::Scanner::startPending()
{
  phase_ = Phase::Pending;
  holding_ = true;
  beforeHold_ = last_;
}

// The block goes in at offset at of the held bytes.
void DscInserter::Scanner::commit(size_t at)
{
  holding_ = false;
  phase_ = Phase::Done;
  write(std::string_view(hold_).substr(0, at));
  insert(texts_.block, at > 0 ? hold_[at - 1] : beforeHold_);
  write(std::string_view(hold_).substr(at));
  std::string().swap(hold_);
}

void DscInserter::Scanner::consume(size_t j, const Line &line, Dsc event, Mode back)
{
  scan_ = j + line.length + line.endLength;
  if (line.endLength == 0) {
    pending_ = event;
    back_ = back;
    mode_ = Mode::ToLineEnd;
    return;
  }
  mode_ = back;
  after(event);
}

// What a comment line sets off once it has passed.
void DscInserter::Scanner::after(Dsc event)
{
  switch (event) {
  case Dsc::EndComments:
    flush();
    startPending();
    mode_ = Mode::Scan;
    break;
  case Dsc::BeginSetup:
    if (depth_ == 0) {
      flush();  // may give the block its place when the hold is full
      if (phase_ == Phase::Pending)
        commit(hold_.size());
    }
    break;
  case Dsc::EndProlog:
    if (depth_ == 0) {
      flush();
      if (phase_ == Phase::Pending && prologEnd_ == std::string::npos)
        prologEnd_ = hold_.size();
    }
    break;
  case Dsc::BeginDocument:
    ++depth_;
    break;
  case Dsc::EndDocument:
    if (depth_ > 0)
      --depth_;
    break;
  case Dsc::BeginBinary:
  case Dsc::BeginData:
    if (counted_.count > 0) {
      left_ = counted_.count;
      mode_ = counted_.lines ? Mode::BinaryLines : Mode::Binary;
    }
    break;
  default:
    break;
  }
}

void DscInserter::Scanner::headerLine(size_t j, const Line &line)
{
  const std::string_view text(buf_.data() + j, line.length);
  const Dsc kind = classify(text);
  const bool comment = firstLine_ || (text.size() >= 2 && text[0] == '%' && !isBlank(text[1]) &&
                                      !isLineEnd(text[1]) && (kind == Dsc::None || kind == Dsc::EndComments));
  firstLine_ = false;
  if (comment && kind != Dsc::EndComments) {
    consume(j, line, Dsc::None, Mode::Header);
    return;
  }
  scan_ = j;
  flush();
  insert(texts_.comments, last_);
  if (kind == Dsc::EndComments) {
    consume(j, line, Dsc::EndComments, Mode::Scan);
  } else {
    startPending();
    mode_ = Mode::Scan;  // the line is looked at again as part of the body
  }
}

void DscInserter::Scanner::comment(size_t j, const Line &line)
{
  const std::string_view text(buf_.data() + j, line.length);
  Dsc kind = classify(text);
  if (kind == Dsc::EndComments)
    kind = Dsc::None;  // the header is over
  if (depth_ == 0 && (kind == Dsc::Page || kind == Dsc::Trailer || kind == Dsc::Eof)) {
    scan_ = j;
    flush();
    if (phase_ == Phase::Pending)
      commit(prologEnd_ != std::string::npos ? prologEnd_ : 0);
    if (kind == Dsc::Page && *onPage_)
      (*onPage_)();
  }
  if (kind == Dsc::BeginBinary || kind == Dsc::BeginData)
    counted_ = parseCounted(text, kind);
  consume(j, line, kind, Mode::Scan);
}

// Pass the lines of a %%BeginData: ... Lines section. false at the end of
// the data.
bool DscInserter::Scanner::passBinaryLines()
{
  while (left_ > 0) {
    const char *stop = std::find_if(buf_.data() + scan_, buf_.data() + end_, isLineEnd);
    const size_t t = static_cast<size_t>(stop - buf_.data());
    if (t == end_ || (buf_[t] == '\r' && t + 1 == end_ && !eof_)) {
      scan_ = t;
      return false;
    }
    scan_ = t + (buf_[t] == '\r' && t + 1 < end_ && buf_[t + 1] == '\n' ? 2 : 1);
    --left_;
  }
  mode_ = Mode::Scan;
  return true;
}

void DscInserter::Scanner::finish()
{
  scan_ = end_;
  flush();
  if (mode_ == Mode::ToLineEnd)
    after(pending_);
  if (phase_ == Phase::Header) {
    insert(texts_.comments, last_);
    insert(texts_.block, last_);
  } else if (phase_ == Phase::Pending) {
    commit(prologEnd_ != std::string::npos ? prologEnd_ : 0);
  }
}

CopyResult DscInserter::Scanner::copy(ByteSink &out, const Insertions &texts, const std::function<void()> &onPage)
{
  out_ = &out;
  texts_ = texts;
  onPage_ = &onPage;
  for (;;) {
    if (writeFailed_)
      return CopyResult::WriteFailed;
    if (scan_ == end_) {
      if (eof_)
        break;
      if (!more())
        return CopyResult::ReadFailed;
      continue;
    }
    switch (mode_) {
    case Mode::Header: {
      size_t j = scan_;
      Line line;
      if (!lineAt(j, line))
        return CopyResult::ReadFailed;
      headerLine(j, line);
      break;
    }
    case Mode::Scan: {
      // Comments begin "%%" at a line's start; a "%" at the end may begin one.
      size_t j = scan_;
      while (j < end_ && !(atLineStart(j) && buf_[j] == '%' && (j + 1 == end_ || buf_[j + 1] == '%'))) {
        j = static_cast<size_t>(findPair(buf_.data() + j + 1, buf_.data() + end_, '%', '%') - buf_.data());
      }
      if (j == end_ || (j + 1 == end_ && !eof_)) {
        scan_ = j;
        if (j != end_ && !more())
          return CopyResult::ReadFailed;
        break;
      }
      if (j + 1 == end_) {
        scan_ = end_;
        break;
      }
      Line line;
      if (!lineAt(j, line))
        return CopyResult::ReadFailed;
      comment(j, line);
      break;
    }
    case Mode::ToLineEnd: {
      const char *stop = std::find_if(buf_.data() + scan_, buf_.data() + end_, isLineEnd);
      const size_t t = static_cast<size_t>(stop - buf_.data());
      if (t == end_) {
        scan_ = end_;
      } else if (buf_[t] == '\r' && t + 1 == end_ && !eof_) {
        scan_ = t;
        if (!more())
          return CopyResult::ReadFailed;
      } else {
        scan_ = t + (buf_[t] == '\r' && t + 1 < end_ && buf_[t + 1] == '\n' ? 2 : 1);
        mode_ = back_;
        after(pending_);
      }
      break;
    }
    case Mode::Binary: {
      const unsigned long long n = std::min<unsigned long long>(end_ - scan_, left_);
      scan_ += static_cast<size_t>(n);
      left_ -= n;
      if (left_ == 0)
        mode_ = Mode::Scan;
      break;
    }
    case Mode::BinaryLines:
      // A CR at the end of what is read may be the first half of a CR LF.
      if (!passBinaryLines() && scan_ != end_ && !more())
        return CopyResult::ReadFailed;
      break;
    }
  }
  finish();
  return writeFailed_ ? CopyResult::WriteFailed : CopyResult::Done;
}

// ---- The two together ------------------------------------------------------

DscInserter::DscInserter(ByteSource &in)
    : unwrap_(std::make_unique<Unwrapper>(in)), scan_(std::make_unique<Scanner>(*unwrap_))
{
}

DscInserter::~DscInserter() = default;

InputKind DscInserter::readHead()
{
  const InputKind kind = unwrap_->readHead();
  if (kind == InputKind::PostScript && !scan_->prime())
    return unwrap_->secondJob() ? InputKind::SecondJob : InputKind::Unreadable;
  return kind;
}

std::string_view DscInserter::sample() const
{
  return scan_->sample();
}

CopyResult DscInserter::copy(ByteSink &out, const Insertions &texts, const std::function<void()> &onPage)
{
  const CopyResult result = scan_->copy(out, texts, onPage);
  if (result == CopyResult::ReadFailed && unwrap_->secondJob())
    return CopyResult::SecondJob;
  return result;
}

}  // namespace arvex::ps
