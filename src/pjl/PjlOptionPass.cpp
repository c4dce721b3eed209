// The PJL option pass. Nothing is written yet: the pass only empties the
// insertion buffer, as the final flush does.

#include "PjlOptionPass.h"

#include <cstring>

int runPjlOptionPass(const JobInfo * /*job*/, FILE * /*out*/, InsertBuffer *insertion, char * /*argv*/[])
{
  std::memset(insertion->start, 0, insertion->capacity);
  insertion->cursor = insertion->start;
  return 0;
}
