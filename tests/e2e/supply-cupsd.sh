#!/usr/bin/env bash
# The filter in a private cupsd: a socket queue whose printer is a socat
# sink, while an snmpd agent on 127.0.0.1:161 (where the socket backend
# asks) answers the SNMP requests the backend forwards from the filter's
# reporting thread. The printer gets the job byte for byte; the scheduler
# gets the marker and printer-state attributes.
#   supply-cupsd.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/../support/e2e.sh" e2e "$@"
QUEUE=arvex-e2e HERE="$SOURCE_DIR/tests/e2e"

# Levels 80, 60, 40, 20 in the private supply table; the error state 0x20 0x00 is lowToner.
for k in 1 2 3 4; do snmp_value "$DIR/agent" ".1.3.6.1.4.1.32473.3.2.1.2.24.1.1.5.$k" integer $((100 - 20 * k)); done
snmp_value "$DIR/agent" .1.3.6.1.2.1.25.3.5.1.2.1 octet "20 00"
snmp_agent_start "$DIR/agent" 127.0.0.1

# socat writes each connection into a FIFO; until the test reads it, the job
# stalls in the socket backend, so the filter (and its reporting thread)
# still runs while the test watches the scheduler.
SINK_PORT=$(free_port)
mkfifo "$DIR/printer.fifo"
socat -u "TCP-LISTEN:$SINK_PORT,bind=127.0.0.1,reuseaddr,fork" "OPEN:$DIR/printer.fifo,creat,append" 2>"$DIR/socat.log" &
PIDS+=($!) UNDO+=("pkill -f $DIR/printer.fifo")  # and the connection it forked

cupsd_start socket
URI="ipp://127.0.0.1:$CUPS_PORT/printers/$QUEUE"
install -o root -g root -m 755 "$BUILD_DIR/arvex-pdf-filter" "$DIR/serverbin/filter/arvex-pdf-filter"
# A failing filter aborts the job instead of retrying it. A scheduler that
# has only just started may still refuse the first administration request.
wait_for 10 lpadmin -p "$QUEUE" -E -v "socket://127.0.0.1:$SINK_PORT" -P "$SOURCE_DIR/fixtures/ppd/supply-color.ppd" \
  -o printer-error-policy=abort-job || fail "lpadmin can't create the queue"

# A PDF too big to sit whole in the pipe and socket buffers before the stalled printer.
PDF="$DIR/job.pdf"
cp "$SOURCE_DIR/fixtures/sample.pdf" "$PDF"
python3 -c 'import sys; line = b"% padding while the printer is slow\n"; open(sys.argv[1], "ab").write(line * ((24 << 20) // len(line)))' "$PDF"

reported() { local a; a=$(ipp_display "$URI" "$HERE/get-printer.test"); [[ $a == *"marker-levels = 80,60,40,20"* && $a == *toner-low-report* ]]; }

# print_job TITLE [WAIT]: once WAIT succeeds (if given) while the job is
# still running, the printer takes the job; it must complete and be the
# PDF in the filter's PJL frame, the title as it stands.
print_job() {
  local id
  id=$(lp -d "$QUEUE" -t "$1" -o PageSize=A4 "$PDF" | sed -n 's/^request id is [^ ]*-\([0-9]*\) .*/\1/p')
  [ -n "$id" ] || fail "lp didn't queue the job"
  if [ -n "${2:-}" ]; then
    wait_for 30 "$2" || fail "the scheduler never got the reports: $(ipp_display "$URI" "$HERE/get-printer.test")"
    ! job_ended "$URI" "$id" || fail "job $id ended before the reports arrived"
  fi
  cat "$DIR/printer.fifo" >"$DIR/printed.prn" &
  PIDS+=($!)
  [[ $(job_end "$URI" "$id") == completed* ]] || fail "job $id didn't complete: $(job_state "$URI" "$id")"
  wait "${PIDS[-1]}"
  { printf '\033%%-12345X@PJL JOB NAME="%s"\n@PJL SET USERNAME="%s"\n@PJL ENTER LANGUAGE = PDF\n' "$1" "$(id -un)"
    cat "$PDF"; printf '\033%%-12345X@PJL EOJ\n'; } >"$DIR/expected.prn"
  cmp -s "$DIR/expected.prn" "$DIR/printed.prn" || fail "the printer didn't get the job for '$1': $(head -c 120 "$DIR/printed.prn" | od -c | head -4)"
}

print_job "Quarterly report" reported
ATTRS=$(ipp_display "$URI" "$HERE/get-printer.test")
for expected in 'marker-levels = 80,60,40,20' 'marker-colors = #00FFFF,#FF00FF,#FFFF00,#000000' \
  'marker-names = Cyan Toner,Magenta Toner,Yellow Toner,Black Toner' 'marker-types = toner,toner,toner,toner'; do
  grep -qx "$expected" <<<"$ATTRS" || fail "expected '$expected' among the printer attributes: $ATTRS"
done
grep -q '^printer-state-reasons = .*toner-low-report' <<<"$ATTRS" || fail "no toner-low-report: $ATTRS"
print_job 'The "Q4" figures'
echo "PASS: the jobs reached the printer whole; marker levels and toner-low-report reached the scheduler"
