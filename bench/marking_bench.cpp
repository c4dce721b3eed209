// The Prevention Copy Pattern block with a 64-byte marking text in
// decomposed form (21 letters with a combining acute accent and one plain
// letter), beside ppdOpenFile of the same PPD: both happen once per job, so
// the ratio of the two is the block's share of a job's fixed cost.
//
// Three PPDs: the small marking fixtures, and the settings fixture grown to
// the size of a production PPD (about 160 KB) by 300 filler options.

#include <arvex/jobinfo.h>
#include <arvex/marking.h>

#include <benchmark/benchmark.h>

#include "ProductionPpd.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

std::string fixture(const char *name)
{
  return std::string(ARVEX_FIXTURE_DIR) + "/ppd/" + name;
}

std::string ppdPath(int which)
{
  switch (which) {
  case 0:
    return fixture("marking-bare.ppd");
  case 1:
    return fixture("marking-settings.ppd");
  default:
    return arvex::bench::productionSizedPpd(fixture("marking-settings.ppd"));
  }
}

const char *const kLabels[] = {"marking-bare.ppd (1 KB)", "marking-settings.ppd (4 KB)",
                               "production-sized (160 KB)"};

void BM_ppdOpenFile(benchmark::State &state)
{
  const std::string path = ppdPath(static_cast<int>(state.range(0)));
  while (state.KeepRunning()) {
    ppd_file_t *ppd = ppdOpenFile(path.c_str());
    benchmark::DoNotOptimize(ppd);
    ppdClose(ppd);
  }
  state.SetLabel(kLabels[state.range(0)]);
}
BENCHMARK(BM_ppdOpenFile)->DenseRange(0, 2);

void BM_PreventionCopyPatternBlock(benchmark::State &state)
{
  setenv("PPD", ppdPath(static_cast<int>(state.range(0))).c_str(), 1);
  char arg0[] = "filter", arg1[] = "1", arg2[] = "alice", arg3[] = "Report", arg4[] = "1", arg5[] = "";
  char *argv[] = {arg0, arg1, arg2, arg3, arg4, arg5, nullptr};
  JobInfo *job = CreateJobInfo(6, argv);
  if (!job || !job->ppd) {
    state.SkipWithError("PPD not readable");
    DisposeJobInfo(job);
    return;
  }
  ppdMarkDefaults(job->ppd);
  std::string text;
  for (int i = 0; i < 21; ++i)
    text += "145314201";  // e, U+0301
  text += "102";
  job->numOptions = cupsAddOption("com.arvex.printsettings.CCPCustomText", text.c_str(), job->numOptions,
                                  &job->options);

  static char storage[1024];
  while (state.KeepRunning()) {
    storage[0] = '\0';
    InsertBuffer out{storage, sizeof(storage), storage};
    benchmark::DoNotOptimize(getInsertStringForPreventionCopyPattern(job, 2, &out, "\r\n"));
    benchmark::ClobberMemory();
  }
  state.SetLabel(kLabels[state.range(0)]);
  DisposeJobInfo(job);
}
BENCHMARK(BM_PreventionCopyPatternBlock)->DenseRange(0, 2);

}  // namespace

BENCHMARK_MAIN();
