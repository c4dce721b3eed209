// The fixed PJL frame the filter puts around every job, as the tests
// expect it byte for byte.
#ifndef ARVEX_TEST_JOB_FRAME_H
#define ARVEX_TEST_JOB_FRAME_H

#include <string>

namespace arvex::test {

inline const std::string kUel = "\x1b%-12345X";
inline const std::string kEnterPdf = "@PJL ENTER LANGUAGE = PDF\n";
inline const std::string kTrailer = kUel + "@PJL EOJ\n";

}  // namespace arvex::test

#endif
