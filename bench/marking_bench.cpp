// The Prevention Copy Pattern block with a 64-byte marking text in
// decomposed form (21 letters with a combining acute accent and one plain
// letter), beside ppdOpenFile of the same PPD: the block is built once per
// job, the PPD is opened once per job, so the ratio of the two is the
// block's share of a job's fixed cost.

#include <arvex/jobinfo.h>
#include <arvex/marking.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

namespace {

std::string fixture(const char *name)
{
  return std::string(ARVEX_FIXTURE_DIR) + "/ppd/" + name;
}

const char *const kPpds[] = {"marking-bare.ppd", "marking-settings.ppd"};

void BM_ppdOpenFile(benchmark::State &state)
{
  const std::string path = fixture(kPpds[state.range(0)]);
  for (auto _ : state) {
    ppd_file_t *ppd = ppdOpenFile(path.c_str());
    benchmark::DoNotOptimize(ppd);
    ppdClose(ppd);
  }
  state.SetLabel(kPpds[state.range(0)]);
}
BENCHMARK(BM_ppdOpenFile)->Arg(0)->Arg(1);

void BM_PreventionCopyPatternBlock(benchmark::State &state)
{
  setenv("PPD", fixture(kPpds[state.range(0)]).c_str(), 1);
  char arg0[] = "filter", arg1[] = "1", arg2[] = "alice", arg3[] = "Report", arg4[] = "1", arg5[] = "";
  char *argv[] = {arg0, arg1, arg2, arg3, arg4, arg5, nullptr};
  JobInfo *job = CreateJobInfo(6, argv);
  if (!job || !job->ppd) {
    state.SkipWithError("fixture PPD not readable");
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
  for (auto _ : state) {
    storage[0] = '\0';
    InsertBuffer out{storage, sizeof(storage), storage};
    benchmark::DoNotOptimize(getInsertStringForPreventionCopyPattern(job, 2, &out, "\r\n"));
    benchmark::ClobberMemory();
  }
  state.SetLabel(kPpds[state.range(0)]);
  DisposeJobInfo(job);
}
BENCHMARK(BM_PreventionCopyPatternBlock)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
