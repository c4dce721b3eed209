// The values a job-control block carries as the job gives them, and the
// checks that keep them inside their places: the job's PIN for a locked
// print, and the job options the block writes unchanged inside PostScript
// strings, as bare numbers or on a comment line. CUPS-free, for the filter
// and the Printer Application alike.
#ifndef ARVEX_POSTSCRIPT_BLOCK_VALUES_H
#define ARVEX_POSTSCRIPT_BLOCK_VALUES_H

#include <string_view>

namespace arvex::ps {

// The printers' rule for a locked-print password: 4 to 8 ASCII digits.
constexpr size_t kPinMinDigits = 4;
constexpr size_t kPinMaxDigits = 8;

// Why a job password (IPP job-password, with its job-password-encryption,
// empty when the job sent none) can't be the PIN of a locked print; nullptr
// when it can. The message never holds the password.
const char *pinProblem(std::string_view password, std::string_view encryption);

// Why the value of job option name can't go into the block (it would end
// its PostScript string or comment line, or is no number where the block
// writes a bare number); nullptr when it can, also for every option the
// block does not write as it stands. The message never holds the value.
const char *blockValueProblem(std::string_view name, std::string_view value);

// The same for the job's user name, which the block writes as the host
// login name and may write in the marking text.
const char *userNameProblem(std::string_view user);

}  // namespace arvex::ps

#endif
