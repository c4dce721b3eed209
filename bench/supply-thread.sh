#!/usr/bin/env bash
# What the supply reporting thread costs a job.
#
#   bench/supply-thread.sh [BUILD_DIR] [RUNS]
#
# 1. Throughput: the filter copying a 1 GiB job while its reporting thread
#    queries a live fake backend every second, against the same job with no
#    device URI (no thread). Prints the median wall-clock and CPU times and
#    their ratios (target: at most 1.02). On a busy machine the CPU ratio is
#    the steadier figure.
# 2. Stop latency: the time from the end of the job's data to the filter's
#    exit while the thread waits on a backend that never answers (target: at
#    most 50 ms), and, for comparison, while the thread sleeps between cycles.
#
# Needs the regular build (arvex-pdf-filter and bench/fake_backend). The
# input is generated in /tmp and removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=$(cd "${1:-build}" && pwd)
RUNS=${2:-7}
FILTER="$BUILD_DIR/arvex-pdf-filter"
BACKEND="$BUILD_DIR/bench/fake_backend"
for tool in "$FILTER" "$BACKEND"; do
  [ -x "$tool" ] || { echo "missing $tool: build with benchmarks enabled first" >&2; exit 1; }
done

WORK=$(mktemp -d /tmp/arvex-bench-XXXXXX)
trap 'rm -rf "$WORK"' EXIT
export PPD="$PWD/fixtures/ppd/supply-color.ppd"  # one cycle per second for socket URIs
URI="socket://printer.example.com:9100"

now_us() { echo "${EPOCHREALTIME/./}"; }

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# --- 1. throughput ---
echo "generating a 1 GiB job in $WORK ..."
head -c $((1 << 30)) /dev/urandom >"$WORK/job.pdf"

# copy_once URI: "wall cpu" seconds for one job through the filter (and the
# fake backend, which the run without URI has too, idle).
copy_once() {
  local TIMEFORMAT="%R %U %S" times
  if [ -n "$1" ]; then
    times=$({ time DEVICE_URI=$1 "$BACKEND" -- "$FILTER" 1 bench "Bench job" 1 PageSize=A4 "$WORK/job.pdf" \
      >/dev/null 2>&1; } 2>&1)
  else
    times=$({ time env -u DEVICE_URI "$BACKEND" -- "$FILTER" 1 bench "Bench job" 1 PageSize=A4 "$WORK/job.pdf" \
      >/dev/null 2>&1; } 2>&1)
  fi
  awk '{ print $1, $2 + $3 }' <<<"$times"
}

copy_once "" >/dev/null  # warm the page cache
with=() without=()
for ((i = 0; i < RUNS; i++)); do
  without+=("$(copy_once "")")
  with+=("$(copy_once "$URI")")
done
rm -f "$WORK/job.pdf"
# pick FIELD FUNCTION RUN...: median or minimum of a field of the runs.
pick() { printf '%s\n' "${@:3}" | awk -v c="$1" '{ print $c }' | "$2"; }
minimum() { sort -n | head -1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
echo "1 GiB job to /dev/null, $RUNS runs each, seconds (median, best):"
for f in 1 2; do
  name=$([ $f = 1 ] && echo wall || echo CPU)
  m0=$(pick $f median "${without[@]}") m1=$(pick $f median "${with[@]}")
  b0=$(pick $f minimum "${without[@]}") b1=$(pick $f minimum "${with[@]}")
  printf '  %-4s no device URI (no thread): %6.3f  %6.3f\n' "$name" "$m0" "$b0"
  printf '  %-4s live backend, 1 s cycles:  %6.3f  %6.3f\n' "$name" "$m1" "$b1"
  printf '  %-4s ratio with/without:        %6.3f  %6.3f   (target <= 1.02)\n' "$name" "$(ratio "$m1" "$m0")" "$(ratio "$b1" "$b0")"
done
echo "  (wall-clock times vary with the machine's load; the CPU times are the steadier figures)"

# --- 2. stop latency ---
cp fixtures/sample.pdf "$WORK/sample.pdf"
mkfifo "$WORK/input"

# stop_once MODE: microseconds from closing the job's data to the filter's
# exit, the thread having had time to reach its wait. MODE is --silent (a
# backend that never answers), live, or none (no device URI, no thread).
stop_once() {
  local pid start end
  local environment=("DEVICE_URI=$URI") backend=("$BACKEND")
  case $1 in
    --silent) backend+=(--silent) ;;
    none) environment=(-u DEVICE_URI) ;;
  esac
  env "${environment[@]}" "${backend[@]}" -- "$FILTER" 1 bench "Bench job" 1 PageSize=A4 "$WORK/input" \
    >/dev/null 2>&1 &
  pid=$!
  exec 3>"$WORK/input"
  cat "$WORK/sample.pdf" >&3
  sleep 0.3
  start=$(now_us)
  exec 3>&-
  wait "$pid"
  end=$(now_us)
  echo $((end - start))
}

silent=() sleeping=() baseline=()
for ((i = 0; i < RUNS * 2; i++)); do
  silent+=("$(stop_once --silent)")
  sleeping+=("$(stop_once live)")
  baseline+=("$(stop_once none)")
done
max() { sort -n | tail -1; }
echo "end of input to exit, $((RUNS * 2)) runs (median / max):"
printf '  thread waiting on a silent backend: %6.1f / %6.1f ms   (target <= 50 ms)\n' \
  "$(printf '%s\n' "${silent[@]}" | median | awk '{ print $1 / 1000 }')" \
  "$(printf '%s\n' "${silent[@]}" | max | awk '{ print $1 / 1000 }')"
printf '  thread sleeping between cycles:     %6.1f / %6.1f ms\n' \
  "$(printf '%s\n' "${sleeping[@]}" | median | awk '{ print $1 / 1000 }')" \
  "$(printf '%s\n' "${sleeping[@]}" | max | awk '{ print $1 / 1000 }')"
printf '  no thread (no device URI):          %6.1f / %6.1f ms\n' \
  "$(printf '%s\n' "${baseline[@]}" | median | awk '{ print $1 / 1000 }')" \
  "$(printf '%s\n' "${baseline[@]}" | max | awk '{ print $1 / 1000 }')"
