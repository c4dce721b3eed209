#!/usr/bin/env bash
# A CUPS queue on the Printer Application: a private cupsd with an
# IPP Everywhere queue (lpadmin -m everywhere) on the application's printer;
# a raw job through it reaches the printer as the filter writes it.
#   cupsd.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/lib.sh"

app_start
sink_start "$DIR/printer.prn"
add_printer m4000 arvex-m4000 "$SINK_PORT"

CUPS_PORT=$(free_port)
export CUPS_SERVER="$DIR/cups.sock"
mkdir -p "$DIR"/{cache,state,spool/tmp,log,serverbin/backend}
ln -s /usr/lib/cups/daemon "$DIR/serverbin/daemon"
ln -s /usr/lib/cups/backend/ipp "$DIR/serverbin/backend/ipp"
chown root:lp "$DIR/spool" "$DIR/spool/tmp" "$DIR/cache" "$DIR/state"
chmod 710 "$DIR/spool" && chmod 1770 "$DIR/spool/tmp" && chmod 770 "$DIR/cache" "$DIR/state"
chmod 755 "$DIR" "$DIR/serverbin" "$DIR/serverbin/backend"
{
  echo "User lp"; echo "Group lp"; echo "SystemGroup root"; echo "ServerRoot $DIR"; echo "ServerBin $DIR/serverbin"
  for d in CacheDir:cache StateDir:state RequestRoot:spool TempDir:spool/tmp ErrorLog:log/error_log \
    AccessLog:log/access_log PageLog:log/page_log Printcap:printcap; do echo "${d%%:*} $DIR/${d#*:}"; done
} >"$DIR/cups-files.conf"
printf '%s\n' "Listen 127.0.0.1:$CUPS_PORT" "Listen $DIR/cups.sock" "LogLevel debug" "Browsing No" \
  "WebInterface No" "DefaultAuthType None" "<Location />" "Order allow,deny" "Allow all" "</Location>" \
  "<Policy default>" "<Limit All>" "Order deny,allow" "</Limit>" "</Policy>" >"$DIR/cupsd.conf"
cupsd -f -c "$DIR/cupsd.conf" -s "$DIR/cups-files.conf" &
PIDS+=($!)
wait_for 10 lpstat -r || fail "cupsd doesn't start"

lpadmin -p arvex -E -v "$(printer_uri m4000)" -m everywhere 2>/dev/null || fail "lpadmin -m everywhere failed"
id=$(lp -d arvex -o raw -t "Through CUPS" "$PDF" | sed -n 's/^request id is arvex-\([0-9]*\) .*/\1/p')
[ -n "$id" ] || fail "lp didn't queue the job"
wait_for 30 bash -c "lpstat -W completed -o arvex | grep -q '^arvex-$id '" || fail "the CUPS job didn't complete"
wait_for 10 job_is m4000 1 completed || fail "the application's job didn't complete: $(job_state m4000 1)"
env PPD="$ARVEX_PPD_DIR/arvex-m4000.ppd" "${FILTER_ENV[@]}" "$BUILD_DIR/arvex-pdf-filter" 1 root "Through CUPS" 1 \
  "PageSize=A4 Duplex=None Collate=True OutputBin=FaceDown" "$PDF" >"$DIR/expected.prn" 2>/dev/null
cmp "$DIR/expected.prn" "$DIR/printer.prn" || fail "the job through CUPS isn't the filter's: $(head -c 300 "$DIR/printer.prn" | cat -v)"
echo "PASS: a raw job through a CUPS everywhere queue reached the printer as the filter writes it"
