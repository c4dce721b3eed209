#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the sanitizer build
# (AddressSanitizer + UndefinedBehaviorSanitizer), the threading tests under
# ThreadSanitizer, and last the regular build, whose ctest summary ends the
# output.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

jobs=$(nproc)
configure() {  # configure DIR [cmake args...]; BUILD_TARGETS limits what is built
  local dir=$1; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  # shellcheck disable=SC2086
  cmake --build "$dir" -j"$jobs" ${BUILD_TARGETS:+--target $BUILD_TARGETS} >/dev/null
}

echo "== build (regular, sanitizers)"
configure build -DARVEX_BUILD_TESTS=ON -DARVEX_BUILD_BENCHMARKS=ON
configure build-asan -DARVEX_SANITIZE=address,undefined -DARVEX_BUILD_BENCHMARKS=OFF
# Only the threading tests run under ThreadSanitizer: build just them.
BUILD_TARGETS="supply_thread_test printer_app_threads" configure build-tsan -DARVEX_SANITIZE=thread -DARVEX_BUILD_BENCHMARKS=OFF

# run_ctest DIR LOG [ctest args...]: run quietly, show the log only on failure.
run_ctest() {
  local dir=$1 log=$2; shift 2
  if ! (cd "$dir" && ctest -j"$jobs" --output-on-failure "$@") >"$log" 2>&1; then
    cat "$log"
    echo "test.sh: tests failed in $dir (log: $log)" >&2
    exit 1
  fi
  grep -E "tests passed|No tests were found" "$log" || true
}

echo "== tests under AddressSanitizer + UndefinedBehaviorSanitizer"
run_ctest build-asan build-asan/ctest.log -LE 'e2e|package'

echo "== threading tests under ThreadSanitizer"
run_ctest build-tsan build-tsan/ctest.log -L threading --no-tests=ignore

echo "== fuzz targets (libFuzzer, short runs)"
fuzz/run.sh

echo "== tests"
cd build
ctest -j"$jobs" --output-on-failure
