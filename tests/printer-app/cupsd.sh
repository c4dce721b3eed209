#!/usr/bin/env bash
# A private cupsd's IPP Everywhere queue (lpadmin -m everywhere) on the
# application's printer: a raw job reaches the printer as the filter writes it.
#   cupsd.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/lib.sh"

app_start && sink_start "$DIR/printer.prn" && add_printer m4000 arvex-m4000 "$SINK_PORT"

cupsd_start ipp

# A scheduler that has only just started may still refuse the first request;
# it writes the queue's PPD from the printer's attributes after lpadmin
# returns, and takes jobs for it once the PPD is loaded (and cached).
wait_for 10 lpadmin -p arvex -E -v "$(printer_uri m4000)" -m everywhere || fail "lpadmin -m everywhere failed"
wait_for 30 test -s "$DIR/cache/arvex.data" || fail "cupsd never loaded the everywhere PPD"
id=$(lp -d arvex -o raw -t "Through CUPS" "$PDF" | sed -n 's/^request id is arvex-\([0-9]*\) .*/\1/p')
[ -n "$id" ] || fail "lp didn't queue the job"
wait_for 30 bash -c "lpstat -W completed -o arvex | grep -q '^arvex-$id '" || fail "the CUPS job didn't complete"
wait_for 10 job_is m4000 1 completed || fail "the application's job didn't complete: $(job_state m4000 1)"
env PPD="$ARVEX_PPD_DIR/arvex-m4000.ppd" "${FILTER_ENV[@]}" "$BUILD_DIR/arvex-pdf-filter" 1 root "Through CUPS" 1 \
  "PageSize=A4 Duplex=None Collate=True OutputBin=FaceDown" "$PDF" >"$DIR/expected.prn" 2>/dev/null
cmp "$DIR/expected.prn" "$DIR/printer.prn" || fail "the job through CUPS isn't the filter's: $(head -c 300 "$DIR/printer.prn" | cat -v)"
echo "PASS: a raw job through a CUPS everywhere queue reached the printer as the filter writes it"
