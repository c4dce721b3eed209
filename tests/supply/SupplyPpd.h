// PPD variants for the supply tests: a fixture with some of its lines
// replaced, removed or added, written to a temporary file.
#ifndef ARVEX_TEST_SUPPLY_PPD_H
#define ARVEX_TEST_SUPPLY_PPD_H

#include <cstdio>
#include <sstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "Process.h"

namespace arvex::test {

// A line edit: every line beginning with prefix is replaced by line, or
// removed when line is empty. A prefix that matches nothing adds the line.
using PpdEdit = std::pair<std::string, std::string>;

inline std::string ppdVariant(const std::string &fixture, const std::vector<PpdEdit> &edits)
{
  std::istringstream in(readFile(fixturePath("ppd/" + fixture)));
  std::vector<bool> used(edits.size(), false);
  std::string out, line;
  while (std::getline(in, line)) {
    bool keep = true;
    for (size_t i = 0; i < edits.size(); ++i) {
      if (line.compare(0, edits[i].first.size(), edits[i].first) == 0) {
        used[i] = true;
        keep = false;
        if (!edits[i].second.empty())
          out += edits[i].second + "\n";
        break;
      }
    }
    if (keep)
      out += line + "\n";
  }
  for (size_t i = 0; i < edits.size(); ++i)
    if (!used[i] && !edits[i].second.empty())
      out += edits[i].second + "\n";
  return out;
}

}  // namespace arvex::test

#endif
