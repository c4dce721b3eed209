#!/usr/bin/env bash
# A private cupsd's IPP Everywhere queue (lpadmin -m everywhere) on the
# application's printer: a job with a PIN (lp -o job-password) prints locked.
#   cupsd.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/lib.sh"

app_start && sink_start "$DIR/printer.prn" && add_printer m4000 arvex-m4000 "$SINK_PORT"

mkdir -p "$DIR/serverbin/filter" && ln -s /usr/lib/cups/filter/* "$DIR/serverbin/filter/"
cupsd_start ipp

# cupsd writes the queue's PPD after lpadmin returns, and takes jobs once it is loaded.
wait_for 10 lpadmin -p arvex -E -v "$(printer_uri m4000)" -m everywhere || fail "lpadmin -m everywhere failed"
wait_for 30 test -s "$DIR/cache/arvex.data" || fail "cupsd never loaded the everywhere PPD"
# CUPS takes the PIN as the application advertises it (digits, sent in clear) and forwards it.
grep -q '^\*cupsJobPassword: "11111111"' "$DIR/ppd/arvex.ppd" || fail "the everywhere PPD takes no PIN"
id=$(lp -d arvex -o job-password=4711 -t "Locked through CUPS" "$PDF" | sed -n 's/^request id is arvex-\([0-9]*\) .*/\1/p')
wait_for 60 bash -c "lpstat -W completed -o arvex | grep -q '^arvex-$id '" || fail "the locked CUPS job didn't complete"
wait_for 10 job_is m4000 1 completed || fail "the application's locked job didn't complete: $(job_state m4000 1)"
log=$("$SOURCE_DIR/tests/postscript/run-stub.sh" "$DIR/printer.prn") || fail "the printer refused the locked job"
grep -qE "^ADeviceProcSet SetJobType JobType=1 UserID=root Time=[0-9]{12} Password=4711 " <<<"$log" ||
  fail "the CUPS job with a PIN isn't a locked print: $log"
echo "PASS: a CUPS everywhere queue takes a PIN, and its job prints locked"
