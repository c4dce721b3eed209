#!/usr/bin/env bash
# Locked print through a private cupsd: a queue on the C5200's PostScript PPD
# whose socket printer is a socat sink keeping each connection in a file of
# its own. A PIN sent as job-password (PostScript and PDF documents) and a
# locked print chosen with AXJobType reach the printer as PJL + PostScript
# whose SetJobType call carries the PIN, as the stand-in printer reads it;
# neither the job's owner nor another user sees the PIN in the job's
# attributes or a log line of the job (but the arguments cupsd logs at debug
# level); a PDF sent as PostScript prints nothing.
#   locked-print-cupsd.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/../support/e2e.sh" locked-print "$@"
QUEUE=arvex-locked HERE="$SOURCE_DIR/tests/e2e"
PPD=$BUILD_DIR/ppd/arvex/arvex-c5200-ps.ppd
[ -f "$PPD" ] || fail "no $PPD"

# The printer: every connection in DIR/printed/<pid>.prn.
SINK_PORT=$(free_port)
mkdir -p "$DIR/printed"
socat -u "TCP-LISTEN:$SINK_PORT,bind=127.0.0.1,reuseaddr,fork" "SYSTEM:cat >$DIR/printed/\$\$.prn" 2>"$DIR/socat.log" &
PIDS+=($!) LOGS+=("$DIR/socat.log")

# The system's filters (pstops, pdftops, ...) and ours, before cupsd reads them.
mkdir -p "$DIR/serverbin/filter"
ln -s /usr/lib/cups/filter/* "$DIR/serverbin/filter/"
install -o root -g root -m 755 "$BUILD_DIR/arvex-ps-filter" "$DIR/serverbin/filter/arvex-ps-filter"
cupsd_start socket
URI="ipp://127.0.0.1:$CUPS_PORT/printers/$QUEUE"
wait_for 10 lpadmin -p "$QUEUE" -E -v "socket://127.0.0.1:$SINK_PORT" -P "$PPD" -o printer-error-policy=abort-job ||
  fail "lpadmin can't create the queue"

# print TITLE STATE [lp options...]: the job's id once it is in STATE.
state_is() { [[ $(job_state "$URI" "$1") == "$2"* ]]; }
print() {
  local title=$1 ended=$2 id; shift 2
  id=$(lp -d "$QUEUE" -U alice -t "$title" "$@" | sed -n 's/^request id is [^ ]*-\([0-9]*\) .*/\1/p')
  [ -n "$id" ] || fail "lp didn't queue '$title'"
  wait_for 30 state_is "$id" "$ended" || fail "'$title' isn't $ended: $(job_state "$URI" "$id")"
  echo "$id"
}
PS_DOC=$SOURCE_DIR/fixtures/ps/three-pages.ps
gs -q -sDEVICE=pdfwrite -o "$DIR/three.pdf" "$PS_DOC"
time='[0-9]{12}'
for job in "PostScript with a PIN|4711|-o job-password=4711 $PS_DOC" \
  "PDF with a PIN|2468|-o job-password=2468 $DIR/three.pdf" \
  "PDF chosen locked|1357|-o AXJobType=LockedPrint -o job-password=1357 -o output-bin=face-up $DIR/three.pdf"; do
  IFS='|' read -r title pin args <<<"$job"
  # shellcheck disable=SC2086 # args: a list of words
  id=$(print "$title" completed $args)
  printed=$(find "$DIR/printed" -name '*.prn' -size +0)
  [ "$(wc -l <<<"$printed")" = 1 ] || fail "'$title': the printer got not one job but: $printed"
  log=$("$SOURCE_DIR/tests/postscript/run-stub.sh" "$printed") || fail "'$title': the printer refused the job"
  rm -f "$DIR"/printed/*.prn
  grep -qxE "ADeviceProcSet SetJobType JobType=1 UserID=alice Time=$time Password=$pin HostLoginName=alice .*" \
    <<<"$log" || fail "'$title': no locked print with the PIN: $log"
  [ "$(grep -c '^PAGE ' <<<"$log")" = 3 ] || fail "'$title': not three pages: $log"
  for user in alice mallory; do  # the owner and another user
    out=$(CUPS_USER=$user ipptool -tv -d jobid="$id" "$URI" "$HERE/job-attributes.test") ||
      fail "Get-Job-Attributes and Get-Jobs as $user: $out"
    grep -q "job-uuid" <<<"$out" || fail "$user got no job attributes: $out"
    ! grep -qw "$pin\|job-password" <<<"$out" || fail "$user sees the PIN: $(grep -w "$pin\|job-password" <<<"$out")"
  done
  # At LogLevel debug cupsd logs the filters' arguments and cups-filters' pdftops its pstops command line, the PIN
  # among the options; no other line may hold it.
  leaks=$(grep -w "$pin" "$DIR/log/error_log" |
    grep -vE "^D \[[^]]*\] \[Job $id\] (argv\[5\]=\"|Running command line for pstops: )") || true
  [ -z "$leaks" ] || fail "'$title': a log line holds the PIN: $leaks"
done
grep -qx 'setpagedevice OutputType=LOWER' <<<"$log" || fail "the face-up tray's command didn't reach the printer: $log"

# A PDF that claims to be PostScript reaches the filter as it is: refused (which stops the job), nothing printed.
id=$(print "PDF as PostScript" processing-stopped -o document-format=application/vnd.cups-postscript -o job-password=4711 \
  "$DIR/three.pdf")
sleep 1
[ -z "$(find "$DIR/printed" -name '*.prn' -size +0)" ] || fail "the printer got a job from the PDF sent as PostScript"
grep -q "\[Job $id\] Set job-printer-state-message to .*its data is a PDF document, not PostScript" \
  "$DIR/log/error_log" || fail "the filter's reason didn't reach the scheduler"
echo "PASS: PINs and chosen locked prints reach the printer in SetJobType; no attribute or log line shows a PIN"
