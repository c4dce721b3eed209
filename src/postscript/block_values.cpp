// Checks of the values a job-control block carries as they stand (see
// block_values.h).

#include "block_values.h"

#include <algorithm>

namespace arvex::ps {

namespace {

// How the block writes an option's value.
enum class Place {
  String,   // inside the parentheses of a PostScript string
  Number,   // as a bare PostScript number
  Comment,  // at the end of a comment line
  Octal,    // as octal escapes, the value given in octal notation
  OctalJobName
};

struct Written {
  std::string_view option;
  Place place;
};

constexpr std::string_view kPrefix = "com.arvex.printsettings.";

constexpr Written kWritten[] = {
    {"11AUserID", Place::String},
    {"11AUserCode", Place::String},
    {"11APassword", Place::String},
    {"11AFileName", Place::String},
    {"11AFolderPassword", Place::String},
    {"11ASpecifyTime", Place::String},
    {"11AFolderNumber", Place::Number},
    {"14AColorBalanceBrightness", Place::Number},
    {"14AColorBalanceContrast", Place::Number},
    {"14AColorBalanceBlack", Place::Number},
    {"14AColorBalanceCyan", Place::Number},
    {"14AColorBalanceMagenta", Place::Number},
    {"14AColorBalanceYellow", Place::Number},
    {"CCPFont", Place::String},
    {"CCPUserName", Place::String},
    {"CCPSize", Place::Number},
    {"CCPAngle", Place::Number},
    {"CCPLineSpace", Place::Number},
    {"CCPCustomText", Place::Octal},
    {"CCPJobName", Place::OctalJobName},
    {"PersonalAuthentication.UserID", Place::Comment},
};

// Longest value written as it stands (a DSC line holds 255 bytes); the
// octal texts are bounded by the marking text instead.
constexpr size_t kValueLimit = 255;
constexpr size_t kOctalLimit = 4095;

bool isDigit(char c)
{
  return c >= '0' && c <= '9';
}

bool isControl(char c)
{
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

// An optional sign, digits, and an optional fraction.
bool isNumber(std::string_view text)
{
  if (!text.empty() && (text[0] == '-' || text[0] == '+'))
    text.remove_prefix(1);
  const size_t point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  const std::string_view fraction = point == std::string_view::npos ? "" : text.substr(point + 1);
  return !whole.empty() && std::all_of(whole.begin(), whole.end(), isDigit) &&
         (point == std::string_view::npos || (!fraction.empty() && std::all_of(fraction.begin(), fraction.end(), isDigit)));
}

bool isOctal(char c)
{
  return c >= '0' && c <= '7';
}

// Octal digits alone, or groups of a backslash and three octal digits: the
// two forms the marking text turns into escapes. Anything else could end
// the marking text's string early (a backslash before its closing
// parenthesis).
bool isOctalToken(std::string_view token)
{
  if (token.empty() || token[0] != '\\')
    return std::all_of(token.begin(), token.end(), isOctal);
  for (; !token.empty(); token.remove_prefix(4))
    if (token.size() < 4 || token[0] != '\\' || !std::all_of(token.begin() + 1, token.begin() + 4, isOctal))
      return false;
  return true;
}

bool isOctalNotation(std::string_view text, bool tokens)
{
  if (!tokens)
    return isOctalToken(text);
  size_t start = 0;
  for (size_t cut; (cut = text.find('_', start)) != std::string_view::npos; start = cut + 1)
    if (!isOctalToken(text.substr(start, cut - start)))
      return false;
  return isOctalToken(text.substr(start));
}

const char *stringProblem(std::string_view text)
{
  if (text.size() > kValueLimit)
    return "is longer than 255 bytes";
  if (std::any_of(text.begin(), text.end(), [](char c) { return c == '(' || c == ')' || c == '\\' || isControl(c); }))
    return "holds a parenthesis, a backslash or a control character, which would end its PostScript string";
  return nullptr;
}

}  // namespace

const char *pinProblem(std::string_view password, std::string_view encryption)
{
  if (!encryption.empty() && encryption != "none")
    return "the job password arrives hashed; a locked print needs the PIN itself (4 to 8 digits, "
           "job-password-encryption none)";
  if (!std::all_of(password.begin(), password.end(), isDigit))
    return "the job password holds characters other than the digits 0 to 9";
  if (password.size() < kPinMinDigits)
    return "the job password is shorter than 4 digits";
  if (password.size() > kPinMaxDigits)
    return "the job password is longer than 8 digits";
  return nullptr;
}

const char *blockValueProblem(std::string_view name, std::string_view value)
{
  if (name.substr(0, kPrefix.size()) != kPrefix)
    return nullptr;
  name.remove_prefix(kPrefix.size());
  const auto *row = std::find_if(std::begin(kWritten), std::end(kWritten),
                                 [name](const Written &w) { return w.option == name; });
  if (row == std::end(kWritten))
    return nullptr;
  switch (row->place) {
  case Place::String:
    return stringProblem(value);
  case Place::Number:
    return isNumber(value) && value.size() <= kValueLimit ? nullptr : "is not a number";
  case Place::Comment:
    if (value.size() > kValueLimit)
      return "is longer than 255 bytes";
    return std::any_of(value.begin(), value.end(), isControl) ? "holds a line end or another control character"
                                                              : nullptr;
  case Place::Octal:
  case Place::OctalJobName:
    if (value.size() > kOctalLimit)
      return "is longer than 4095 bytes";
    return isOctalNotation(value, row->place == Place::OctalJobName)
               ? nullptr
               : "is not in octal notation (groups of three digits 0 to 7, each after a backslash or none "
                 "after one; in a job name parted by underscores)";
  }
  return nullptr;
}

const char *userNameProblem(std::string_view user)
{
  return stringProblem(user);
}

}  // namespace arvex::ps
