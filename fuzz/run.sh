#!/usr/bin/env bash
# Builds every fuzz/fuzz_*.cpp with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each for a fixed time from its seed
# corpus. Any finding fails the run; its input is left in build-fuzz/.
#
#   fuzz/run.sh            # 20 seconds per target
#   FUZZ_SECONDS=300 fuzz/run.sh
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang++ >/dev/null 2>&1 || { echo "fuzz: clang++ not found, fuzz targets skipped"; exit 0; }
seconds=${FUZZ_SECONDS:-20} out=build-fuzz
icu=$(pkg-config --cflags --libs icu-uc)
flags=(-std=c++20 -g -O1 -fsanitize=address,undefined -fno-sanitize-recover=all
       -fno-omit-frame-pointer -Wall -Wextra -Iinclude "-DARVEX_SOURCE_DIR=\"$PWD\"")

# The library's sources are compiled once, with coverage for the fuzzer;
# every target links them all.
mkdir -p "$out/obj"
objects=()
for src in src/jobcontext/*.cpp src/pjl/*.cpp src/jobcontrol/*.cpp src/marking/*.cpp src/filter/pjl_frame.cpp \
           src/postscript/*.cpp; do
  obj="$out/obj/$(echo "${src%.cpp}" | tr / _).o"
  [ "$obj" -nt "$src" ] || clang++ "${flags[@]}" -fsanitize=fuzzer-no-link -c "$src" -o "$obj"
  objects+=("$obj")
done
status=0
for src in fuzz/fuzz_*.cpp; do
  name=$(basename "$src" .cpp) log="$out/$name.log"
  # shellcheck disable=SC2086
  clang++ "${flags[@]}" -fsanitize=fuzzer "$src" "${objects[@]}" $icu -lcups -lcrypto -o "$out/$name"
  # New inputs go to the work corpus; the committed seeds are only read.
  mkdir -p "$out/corpus/$name"
  if "$out/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix="$out/$name-" "$out/corpus/$name" "fuzz/corpus/$name" >"$log" 2>&1; then
    runs=$(grep -o 'number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
    echo "fuzz: $name clean, $runs runs in ${seconds}s"
  else
    tail -n 40 "$log"
    echo "fuzz: $name FAILED (log: $log)" >&2
    status=1
  fi
done
exit $status
