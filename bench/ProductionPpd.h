// A fixture PPD grown to the size of a production queue's PPD (about
// 160 KB) by 300 filler options of six choices each, written once to a
// temporary file and removed at exit. Both benchmarks compare a block with
// ppdOpenFile, so they report it for the small fixture and for this size.
#ifndef ARVEX_BENCH_PRODUCTION_PPD_H
#define ARVEX_BENCH_PRODUCTION_PPD_H

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace arvex::bench {

// Path of the grown copy of base (made on the first call).
inline std::string productionSizedPpd(const std::string &base)
{
  static std::string generated;
  if (generated.empty()) {
    std::ifstream in(base);
    std::ostringstream text;
    text << in.rdbuf();
    for (int i = 0; i < 300; ++i) {
      text << "*OpenUI *AXFill" << i << "/Filler " << i << ": PickOne\n*OrderDependency: 40 AnySetup *AXFill" << i
           << "\n*DefaultAXFill" << i << ": C0\n";
      for (int c = 0; c < 6; ++c)
        text << "*AXFill" << i << " C" << c << "/Choice " << c << " of filler " << i << ": \"<</Fill" << i << " "
             << c << ">>setpagedevice\"\n";
      text << "*CloseUI: *AXFill" << i << "\n";
    }
    const char *tmp = std::getenv("TMPDIR");
    generated = std::string(tmp ? tmp : "/tmp") + "/arvex-bench-" + std::to_string(getpid()) + ".ppd";
    std::ofstream(generated) << text.str();
    std::atexit([] { std::remove(generated.c_str()); });
  }
  return generated;
}

}  // namespace arvex::bench

#endif
