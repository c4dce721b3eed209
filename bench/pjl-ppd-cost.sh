#!/bin/bash
# Per-job cost of the PJL header on large queues.
#
# Generates two PPDs with user authentication on: 300 options of which 100
# carry a "@PJL SET" command (a large real queue) and 3,000 of which 1,000
# do (to see how the cost grows). Runs the filter on the bundled one-page
# PDF against each and prints its median wall time and peak RSS next to
# those of `cat` on the same file, as differences in milliseconds and KiB.
# A run without PPD shows the fixed cost of starting the filter (the
# libraries it loads), so that the part the PPD adds can be read apart;
# the time libcups needs to open each PPD is measured on its own too.
#
#   bench/pjl-ppd-cost.sh [build-dir] [runs]
#
# The build directory defaults to build/, the number of runs to 31.

set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
runs=${2:-31}
filter=$build/arvex-pdf-filter
pdf=$root/fixtures/sample.pdf

[ -x "$filter" ] || { echo "no filter at $filter; build first" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing (Debian package time)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# write_ppd FILE OPTIONS: a queue with user authentication and OPTIONS
# options in groups of 30, every third of them a PJL setting.
write_ppd() {
  local file=$1 count=$2
  {
    cat <<'HEAD'
*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "BENCH.PPD"
*Manufacturer: "Arvex"
*Product: "(Arvex Bench)"
*ModelName: "Arvex Bench"
*ShortNickName: "Arvex Bench"
*NickName: "Arvex Bench"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: False
*DefaultColorSpace: Gray
*AXUserAuthenticationSupport: "true"
*AXPJLHOSTLOGINNAMESupport: "true"
*OpenGroup: UserAuth/User Authentication
*OpenUI *AXEnableUserAuth/User Authentication: Boolean
*DefaultAXEnableUserAuth: True
*AXEnableUserAuth True/On: ""
*AXEnableUserAuth False/Off: ""
*CloseUI: *AXEnableUserAuth
*OpenUI *AXAuthLoginPassword/Login Password: PickOne
*DefaultAXAuthLoginPassword: Custom.s3cret
*AXAuthLoginPassword None/None: ""
*CloseUI: *AXAuthLoginPassword
*CustomAXAuthLoginPassword True/Custom: ""
*ParamCustomAXAuthLoginPassword Password/Password: 1 password 0 128
*CloseGroup: UserAuth
HEAD
    awk -v n="$count" 'BEGIN {
      for (i = 0; i < n; i++) {
        if (i % 30 == 0) {
          if (i > 0) printf "*CloseGroup: G%d\n", i / 30 - 1
          printf "*OpenGroup: G%d/Group %d\n", i / 30, i / 30
        }
        printf "*OpenUI *AXOpt%d/Option %d: PickOne\n*DefaultAXOpt%d: A\n", i, i, i
        if (i % 3 == 0)
          printf "*AXOpt%d A/A: \"@PJL SET OPT%d=A\"\n*AXOpt%d B/B: \"@PJL SET OPT%d=B\"\n", i, i, i, i
        else
          printf "*AXOpt%d A/A: \"<</AXOpt%d 1>>setpagedevice\"\n*AXOpt%d B/B: \"<</AXOpt%d 2>>setpagedevice\"\n", i, i, i, i
        printf "*CloseUI: *AXOpt%d\n", i
      }
      if (n > 0) printf "*CloseGroup: G%d\n", (n - 1) / 30
    }'
  } > "$file"
}

write_ppd "$work/q300.ppd" 300
write_ppd "$work/q3000.ppd" 3000

python3 - "$filter" "$pdf" "$runs" "$work/q300.ppd" "$work/q3000.ppd" <<'PY'
import ctypes, ctypes.util, os, statistics, subprocess, sys, time

filter_, pdf, runs, ppds = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4:]
env = dict(os.environ, SOFTWARE="CUPS/2.4.2")
env.pop("DEVICE_URI", None)

def wall_ms(argv, extra):
    samples = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(argv, env=dict(env, **extra), stdout=subprocess.DEVNULL, check=True)
        samples.append((time.perf_counter() - start) * 1000)
    return statistics.median(samples)

def peak_kib(argv, extra):
    samples = []
    for _ in range(5):
        r = subprocess.run(["/usr/bin/time", "-f", "%M"] + argv, env=dict(env, **extra),
                           stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, check=True)
        samples.append(int(r.stderr.strip().splitlines()[-1]))
    return statistics.median(samples)

cat = ["cat", pdf]
cat_ms, cat_kib = wall_ms(cat, {}), peak_kib(cat, {})
print(f"cat {os.path.basename(pdf)}: {cat_ms:.2f} ms, {cat_kib} KiB peak RSS (medians of {runs} and 5 runs)")

argv = [filter_, "1", "alice", "bench", "1", "x=1", pdf]
env.pop("PPD", None)
bare_ms, bare_kib = wall_ms(argv, {}), peak_kib(argv, {})
print(f"filter without PPD: {bare_ms:.2f} ms, {bare_kib} KiB; over cat: +{bare_ms - cat_ms:.2f} ms, +{bare_kib - cat_kib} KiB")

cups = ctypes.CDLL(ctypes.util.find_library("cups"))
cups.ppdOpenFile.restype = ctypes.c_void_p
cups.ppdOpenFile.argtypes = [ctypes.c_char_p]
cups.ppdClose.argtypes = [ctypes.c_void_p]

def open_ms(ppd):
    samples = []
    for _ in range(runs):
        start = time.perf_counter()
        handle = cups.ppdOpenFile(ppd.encode())
        samples.append((time.perf_counter() - start) * 1000)
        cups.ppdClose(handle)
    return statistics.median(samples)

added = []
for ppd in ppds:
    extra = {"PPD": ppd}
    ms, kib = wall_ms(argv, extra), peak_kib(argv, extra)
    added.append(ms - bare_ms)
    print(f"filter {os.path.basename(ppd)}: {ms:.2f} ms, {kib} KiB; over cat: +{ms - cat_ms:.2f} ms, +{kib - cat_kib} KiB;"
          f" over the filter without PPD: +{ms - bare_ms:.2f} ms, +{kib - bare_kib} KiB")
    opening = open_ms(ppd)
    print(f"  of which ppdOpenFile in libcups: {opening:.2f} ms; the rest (marking, option pass, blocks):"
          f" {ms - bare_ms - opening:.2f} ms")
if len(added) == 2 and added[0] > 0:
    print(f"PPD part, 3,000 options against 300: x{added[1] / added[0]:.1f}")
PY
