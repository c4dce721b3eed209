// The PJL frame of a job: header, language switch and trailer.

#include <arvex/frame.h>

#include <algorithm>
#include <array>
#include <string_view>

namespace {

// Header lines are formatted into 1024-byte work buffers; this is the room
// the title and user name have together once the fixed text is counted.
constexpr size_t kHeaderBufferSize = 1024;
constexpr std::string_view kJobNameOpen = "@PJL JOB NAME=\"";
constexpr std::string_view kUserNameOpen = "\"\n@PJL SET USERNAME=\"";
constexpr std::string_view kHeaderClose = "\"\n";
constexpr std::string_view kUel = ARVEX_PJL_UEL;
constexpr size_t kValueRoom = kHeaderBufferSize - 1 - kUel.size() - kJobNameOpen.size() -
                              kUserNameOpen.size() - kHeaderClose.size();

// The longest start of text of at most room bytes that does not end inside
// a UTF-8 character (a sequence is at most four bytes long).
std::string_view cutAtCharacter(std::string_view text, size_t room)
{
  if (text.size() <= room)
    return text;
  size_t n = room;
  for (int k = 0; k < 3 && n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80; ++k)
    --n;
  return text.substr(0, n);
}

}  // namespace

extern "C" {

// Write the job header. Title and user go in as they are; when together they
// exceed the room of the header buffer, they are shortened at character
// boundaries so the header stays well formed (both values quoted, both
// lines ended).
void getInsertStringForStartPJL(const JobInfo *job, FILE *out)
{
  if (!job || !out)
    return;
  std::string_view title = job->jobTitle ? job->jobTitle : "";
  std::string_view user = job->userName ? job->userName : "";
  if (title.size() + user.size() > kValueRoom) {
    // Give the user name what it needs up to half the room, the title the rest.
    size_t userRoom = std::min(user.size(), std::max(kValueRoom / 2, kValueRoom - std::min(title.size(), kValueRoom)));
    user = cutAtCharacter(user, userRoom);
    title = cutAtCharacter(title, kValueRoom - user.size());
  }
  std::array<char, kHeaderBufferSize> header = {};
  size_t length = 0;
  for (const std::string_view part : {kUel, kJobNameOpen, title, kUserNameOpen, user, kHeaderClose}) {
    part.copy(header.data() + length, part.size());
    length += part.size();
  }
  fwrite(header.data(), length, 1, out);
}

// Switch the printer's interpreter to PDF.
void getInsertStringForPostscriptPJL(const JobInfo * /*job*/, FILE *out)
{
  writeEnterLanguage(out, "PDF");
}

void writeEnterLanguage(FILE *out, const char *language)
{
  if (out && language)
    fprintf(out, "@PJL ENTER LANGUAGE = %s\n", language);
}

// End the PJL job.
void getInsertStringForEndPJL(const JobInfo * /*job*/, FILE *out)
{
  static constexpr char kEnd[] = ARVEX_PJL_UEL "@PJL EOJ\n";
  if (out)
    fwrite(kEnd, sizeof(kEnd) - 1, 1, out);
}

bool isInsertPJLValid(void)
{
  return true;
}

}  // extern "C"
