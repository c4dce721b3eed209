#!/usr/bin/env bash
# End to end with the real system: a private cupsd runs the filter for a
# socket queue whose printer is a socat sink, while an snmpd agent answers
# the SNMP requests the socket backend forwards from the filter's reporting
# thread. Checks the job bytes the printer receives and the marker and
# printer-state attributes the scheduler ends up with.
#
#   supply-cupsd.sh BUILD_DIR SOURCE_DIR
#
# Needs root (cupsd runs filters as lp, snmpd binds UDP port 161, which is
# where the socket backend asks); exits 77 (skipped) otherwise. Everything
# lives in a fresh directory that is removed at the end (kept when
# ARVEX_E2E_KEEP=1); every process started here is stopped by its PID.
set -euo pipefail

BUILD_DIR=$(cd "${1:?build directory}" && pwd)
SOURCE_DIR=$(cd "${2:?source directory}" && pwd)
SKIP=77

if [ "$(id -u)" -ne 0 ]; then
  echo "SKIPPED: the cupsd end-to-end test needs root (private cupsd with User lp, snmpd on UDP port 161)"
  exit $SKIP
fi
# shellcheck source=../../scripts/deps.sh
source "$SOURCE_DIR/scripts/deps.sh"
ensure_packages cups cups-client cups-bsd cups-ipp-utils snmpd snmp socat python3

FILTER="$BUILD_DIR/arvex-pdf-filter"
[ -x "$FILTER" ] || { echo "FAIL: $FILTER is not built"; exit 1; }

DIR=$(mktemp -d /tmp/arvex-e2e-XXXXXX)
chmod 755 "$DIR"  # the filter runs as lp and must reach its files
PIDS=()

cleanup() {
  local status=$?
  for pid in "${PIDS[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${PIDS[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  if [ "$status" -ne 0 ] && [ "$status" -ne $SKIP ]; then
    echo "--- cupsd error_log (tail) ---"
    tail -n 60 "$DIR/log/error_log" 2>/dev/null || true
  fi
  if [ "${ARVEX_E2E_KEEP:-0}" = 1 ]; then
    echo "kept $DIR"
  else
    rm -rf "$DIR"
  fi
  exit "$status"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  exit 1
}

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# wait_for SECONDS COMMAND...: retry the command until it succeeds.
wait_for() {
  local limit=$(($1 * 10)); shift
  for ((i = 0; i < limit; i++)); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

SINK_PORT=$(free_port)
QUEUE=arvex-e2e

# --- the printer's SNMP agent ---
# Levels 80, 60, 40, 20 in the private supply table; the error state
# 0x20 0x00 is lowToner.
# shellcheck source=../support/snmp-agent.sh
source "$SOURCE_DIR/tests/support/snmp-agent.sh"
mkdir -p "$DIR/agent/oids"
for k in 1 2 3 4; do
  snmp_value "$DIR/agent" ".1.3.6.1.4.1.32473.3.2.1.2.24.1.1.5.$k" integer $((100 - 20 * k))
done
snmp_value "$DIR/agent" .1.3.6.1.2.1.25.3.5.1.2.1 octet "20 00"
snmp_agent_start "$DIR/agent" 127.0.0.1 || exit 1
snmpget -v1 -c public -Ox 127.0.0.1 .1.3.6.1.2.1.25.3.5.1.2.1 | grep -q '20 00' ||
  fail "snmpd doesn't report the printer state"

# --- the printer: a sink that the test drains when it is ready ---
# socat writes each connection into a FIFO; until the test reads it, the
# job stalls in the socket backend, so the filter (and its reporting
# thread) is still running while the test watches the scheduler.
mkfifo "$DIR/printer.fifo"
socat -u "TCP-LISTEN:$SINK_PORT,bind=127.0.0.1,reuseaddr,fork" "OPEN:$DIR/printer.fifo,creat,append" \
  2>"$DIR/socat.log" &
PIDS+=($!)

# --- the scheduler, which runs only filters that root owns and nobody else may change ---
# shellcheck source=../support/cupsd.sh
source "$SOURCE_DIR/tests/support/cupsd.sh"
cupsd_start "$DIR" socket || fail "cupsd doesn't start"
PRINTER_URI="ipp://127.0.0.1:$CUPS_PORT/printers/$QUEUE"
install -o root -g root -m 755 "$FILTER" "$DIR/serverbin/filter/arvex-pdf-filter"

# A failing filter aborts the job instead of retrying it later. A scheduler
# that has only just started may still refuse the first administration
# request.
wait_for 10 lpadmin -p "$QUEUE" -E -v "socket://127.0.0.1:$SINK_PORT" -P "$SOURCE_DIR/fixtures/ppd/supply-color.ppd" \
  -o printer-error-policy=abort-job || fail "lpadmin can't create the queue"

# printer_attributes ATTR...: the printer's attributes as "name = value" lines.
printer_attributes() {
  local test="$DIR/get-attributes.test"
  local requested
  requested=$(IFS=,; echo "$*")
  {
    echo "{ OPERATION Get-Printer-Attributes"
    echo "  GROUP operation-attributes-tag"
    echo "  ATTR charset attributes-charset utf-8"
    echo "  ATTR naturalLanguage attributes-natural-language en"
    echo "  ATTR uri printer-uri \$uri"
    echo "  ATTR keyword requested-attributes $requested"
    echo "  STATUS successful-ok"
    for a in "$@"; do echo "  DISPLAY $a"; done
    echo "}"
  } >"$test"
  ipptool -t "$PRINTER_URI" "$test" | sed -n 's/^ *\([a-z-]*\) ([^)]*) = /\1 = /p'
}

# A PDF big enough that the job can't all sit in the pipe and socket
# buffers between the filter and the stalled printer.
PDF="$DIR/job.pdf"
cp "$SOURCE_DIR/fixtures/sample.pdf" "$PDF"
python3 - "$PDF" <<'EOF'
import sys
with open(sys.argv[1], "ab") as f:
    line = b"% padding that keeps the filter busy while the printer is slow\n"
    f.write(line * (24 * 1024 * 1024 // len(line)))
EOF

# expected_job TITLE: the bytes the printer must receive for the PDF.
expected_job() {
  printf '\033%%-12345X@PJL JOB NAME="%s"\n@PJL SET USERNAME="%s"\n@PJL ENTER LANGUAGE = PDF\n' "$1" "$(id -un)"
  cat "$PDF"
  printf '\033%%-12345X@PJL EOJ\n'
}

# job_state ID: the job's state keyword (pending, processing, completed, ...).
job_state() {
  cat >"$DIR/get-job.test" <<EOF
{ OPERATION Get-Job-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri \$uri
  ATTR integer job-id $1
  ATTR keyword requested-attributes job-state
  STATUS successful-ok
  DISPLAY job-state
}
EOF
  ipptool -t "$PRINTER_URI" "$DIR/get-job.test" | sed -n 's/^ *job-state ([^)]*) = //p'
}

job_ended() {
  case $1 in canceled | aborted | completed) return 0 ;; esac
  return 1
}

# print_job TITLE OUTPUT: submit the PDF; once WHEN_READY succeeds (at
# once without it) let the printer take the job into OUTPUT; wait until the
# job has completed.
print_job() {
  local title=$1 output=$2 id state=
  id=$(lp -d "$QUEUE" -t "$title" -o PageSize=A4 "$PDF" | sed -n 's/^request id is [^ ]*-\([0-9]*\) .*/\1/p')
  [ -n "$id" ] || fail "lp didn't queue the job"
  if [ -n "${WHEN_READY:-}" ]; then
    for ((i = 0; i < 300; i++)); do
      $WHEN_READY && break
      state=$(job_state "$id")
      job_ended "$state" && fail "job $id ended ($state) before the reports arrived"
      sleep 0.1
    done
    $WHEN_READY || fail "the scheduler never got the expected reports: $(printer_attributes marker-levels printer-state-reasons)"
  fi
  cat "$DIR/printer.fifo" >"$output" &
  local reader=$!
  PIDS+=("$reader")
  for ((i = 0; i < 300; i++)); do
    state=$(job_state "$id")
    job_ended "$state" && break
    sleep 0.1
  done
  [ "$state" = completed ] || fail "job $id didn't complete (state: ${state:-unknown})"
  wait "$reader"
}

supply_reported() {
  local attrs
  attrs=$(printer_attributes marker-levels printer-state-reasons)
  grep -qx 'marker-levels = 80,60,40,20' <<<"$attrs" && grep -q 'toner-low-report' <<<"$attrs"
}

# --- a job while the reporting thread talks to the agent through the backend ---
TITLE="Quarterly report"
WHEN_READY=supply_reported print_job "$TITLE" "$DIR/printed-1.prn"
expected_job "$TITLE" >"$DIR/expected-1.prn"
cmp -s "$DIR/expected-1.prn" "$DIR/printed-1.prn" ||
  fail "the printer didn't get the PJL-wrapped job ($(stat -c %s "$DIR/printed-1.prn") bytes, $(head -c 120 "$DIR/printed-1.prn" | od -c | head -4))"

ATTRS=$(printer_attributes marker-levels marker-colors marker-names marker-types printer-state-reasons)
expect_attr() {
  grep -qx "$1" <<<"$ATTRS" || fail "expected '$1' among the printer attributes:
$ATTRS"
}
expect_attr 'marker-levels = 80,60,40,20'
expect_attr 'marker-colors = #00FFFF,#FF00FF,#FFFF00,#000000'
expect_attr 'marker-names = Cyan Toner,Magenta Toner,Yellow Toner,Black Toner'
expect_attr 'marker-types = toner,toner,toner,toner'
grep -q '^printer-state-reasons = .*toner-low-report' <<<"$ATTRS" ||
  fail "printer-state-reasons lacks toner-low-report:
$ATTRS"

# --- a title with a double quote reaches the PJL as it stands ---
TITLE='The "Q4" figures'
WHEN_READY= print_job "$TITLE" "$DIR/printed-2.prn"
expected_job "$TITLE" >"$DIR/expected-2.prn"
cmp -s "$DIR/expected-2.prn" "$DIR/printed-2.prn" ||
  fail "the quoted title didn't reach the PJL as it stands ($(head -c 120 "$DIR/printed-2.prn" | od -c | head -4))"

echo "PASS: the job reached the printer whole; marker levels and toner-low-report reached the scheduler"
