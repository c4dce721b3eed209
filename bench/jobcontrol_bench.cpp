// The cost of a whole job-control block next to opening the queue's PPD,
// which every job pays anyway. The block is built with every fragment on:
// locked print, synchro cut, background numbering, output bin, banner
// pages, colour balance and driver mode.
//
//   build/bench/jobcontrol_bench
//
// Compare BM_GetInsertString with BM_PpdOpenFile: the block should cost a
// small fraction of one PPD open. Argument 0 is the fixture PPD (11 KB),
// argument 1 the same grown to a production queue's size (about 160 KB).

#include <arvex/cups.h>
#include <arvex/error.h>
#include <arvex/jobcontrol.h>

#include <benchmark/benchmark.h>

#include "ProductionPpd.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const std::string kPPD = std::string(ARVEX_SOURCE_DIR) + "/fixtures/ppd/jobcontrol-colour.ppd";

std::string ppdPath(const benchmark::State &state)
{
  return state.range(0) == 0 ? kPPD : arvex::bench::productionSizedPpd(kPPD);
}

constexpr char kEverythingOn[] =
    "com.arvex.printsettings.11AJobType='Locked Print' com.arvex.printsettings.11AUserID=u042 "
    "com.arvex.printsettings.11APassword=2468 com.arvex.printsettings.11AEnableUserCode=true "
    "com.arvex.printsettings.11AUserCode=4711 com.arvex.printsettings.SynchroCut.Valid=On "
    "AXTopMargin=Custom.5 AXPrintPosition=Right com.arvex.printsettings.BackgroundNumbering.Valid=On "
    "AXBNColor=Red AXStartNumber=Custom.100 AXBrightness=Custom.2.5 AXCyan=Custom.-1 "
    "AXBannerPagePrint=True";

constexpr char kSample[] = "%!PS-Adobe-3.0\r\n%%Pages: 1\r\n";

void BM_GetInsertString(benchmark::State &state)
{
  setenv("PPD", ppdPath(state).c_str(), 1);
  char *argv[] = {const_cast<char *>("bench"), const_cast<char *>("1"), const_cast<char *>("alice"),
                  const_cast<char *>("title"), const_cast<char *>("1"), const_cast<char *>(kEverythingOn),
                  nullptr};
  JobInfo *job = CreateJobInfo(6, argv);
  if (!job || !job->ppd) {
    state.SkipWithError("the fixture PPD did not open");
    DisposeJobInfo(job);
    return;
  }
  ppdMarkDefaults(job->ppd);
  cupsMarkOptions(job->ppd, job->numOptions, job->options);
  // As a filter does before it builds anything.
  getClientTimeZone(job);

  std::vector<char> storage(64 * 1024, '\0');
  size_t length = 0;
  for ([[maybe_unused]] auto _ : state) {
    storage[0] = '\0';
    InsertBuffer out = {storage.data(), storage.size(), storage.data()};
    err_no = 0;
    const int result = getInsertString(job, &out, kSample, static_cast<int>(sizeof(kSample) - 1));
    benchmark::DoNotOptimize(result);
    benchmark::ClobberMemory();
    length = static_cast<size_t>(out.cursor - out.start);
  }
  state.counters["block_bytes"] = static_cast<double>(length);
  if (length == 0 || !std::strstr(storage.data(), "/SetSecurityNumbering"))
    state.SkipWithError("the block lacks a fragment");
  DisposeJobInfo(job);
}
BENCHMARK(BM_GetInsertString)->DenseRange(0, 1);

// Opening (and closing) the same PPD.
void BM_PpdOpenFile(benchmark::State &state)
{
  const std::string path = ppdPath(state);
  for ([[maybe_unused]] auto _ : state) {
    ppd_file_t *ppd = ppdOpenFile(path.c_str());
    benchmark::DoNotOptimize(ppd);
    if (!ppd) {
      state.SkipWithError("the fixture PPD did not open");
      break;
    }
    ppdClose(ppd);
  }
}
BENCHMARK(BM_PpdOpenFile)->DenseRange(0, 1);

}  // namespace

BENCHMARK_MAIN();
