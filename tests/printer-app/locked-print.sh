#!/usr/bin/env bash
# Locked print through the application, and the secrets of jobs out of
# everyone's reach: PINs (in either group, by Print-Job and by Create-Job),
# login and folder passwords (also in Send-Document) reach the printer in
# the job-control block and PJL head, as the stand-in printer and openssl
# read them; another user's Get-Jobs and Get-Job-Attributes, the spool, the
# state files and the log at the default level hold none of them; a handle
# claimed by another client, a job whose secrets a restart lost, a document
# Ghostscript can't read print nothing; only root uses the local socket.
#   locked-print.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/lib.sh"

LOG_LEVEL= app_start && add_printer_sink() { sink_start "$DIR/printer.prn" "SYSTEM:cat >>$DIR/printer.prn"; }
add_printer_sink && add_printer c5200 arvex-c5200 "$SINK_PORT"
SECRETS=(4711 2468 9753 Login-Secret-1 Login-Secret-2 8642)
cupsfilter -m application/pdf /usr/share/cups/data/testprint >"$DIR/testpage.pdf" 2>/dev/null
gs -q -sDEVICE=pdfwrite -o "$DIR/three.pdf" "$SOURCE_DIR/fixtures/ps/three-pages.ps"

# printed_jobs: the jobs the printer got since the last call, one a file (DIR/job-N.prn); echoes their count.
printed_jobs() {
  rm -f "$DIR"/job-*.prn
  python3 - "$DIR/printer.prn" "$DIR/job" <<'PY'
import sys
data, uel = open(sys.argv[1], "rb").read(), b"\x1b%-12345X@PJL JOB"
jobs = [uel + part for part in data.split(uel)[1:]]
for n, job in enumerate(jobs):
    open("%s-%d.prn" % (sys.argv[2], n + 1), "wb").write(job)
print(len(jobs))
PY
  : >"$DIR/printer.prn"
}
stub() { "$SOURCE_DIR/tests/postscript/run-stub.sh" "$DIR/job-$1.prn" || fail "the printer refused job $1"; }
# cipher PASSWORD: the login password as the PJL head carries it for alice (key text "")
cipher() {
  local hash; hash=$(printf 'alice' | openssl dgst -sha256 -binary | od -An -tx1 -v | tr -d ' \n')
  printf '%s' "$1" | openssl enc -aes-256-cbc -K "$hash" -iv "${hash:0:32}" | base64 -w0
}
time='[0-9]{12}' host=$(hostname)

# --- locked and document-server jobs, the secrets in every place a request may bring them ---
ids=$(ipp c5200 locked-jobs.test -f "$DIR/three.pdf" -d owner=alice -d pin="${SECRETS[0]}" -d pin2="${SECRETS[1]}" \
  -d folder="${SECRETS[2]}" -d login="${SECRETS[3]}" -d login2="${SECRETS[4]}" -d handle=feedc0de | sed -n 's/^job-id = //p')
for id in $ids; do [[ $(job_end c5200 "$id") == completed* ]] || fail "job $id: $(job_state c5200 "$id")"; done
[ "$(printed_jobs)" = 2 ] || fail "the printer didn't get two jobs"
log=$(stub 1)
grep -qxE "ADeviceProcSet SetJobType JobType=1 UserID=alice Time=$time Password=4711 HostLoginName=alice .*" <<<"$log" ||
  fail "job 1 isn't a locked print with its PIN: $log"
[ "$(grep -c '^PAGE ' <<<"$log")" = 3 ] || fail "job 1 hasn't three pages: $log"
grep -qaxF "@PJL SET AUTHENTICATIONPASSWORD = \"$(cipher "${SECRETS[3]}")\"" "$DIR/job-1.prn" || fail "job 1: no login password"
log=$(stub 2)
grep -qE "SetJobType JobType=4 UserID= Time=$time Password=2468 JobID=Minutes .*FolderNumber=12 FolderPassword=9753$" \
  <<<"$log" || fail "job 2 isn't a document-server job with its PIN and folder password: $log"
grep -qaxF "@PJL SET AUTHENTICATIONPASSWORD = \"$(cipher "${SECRETS[4]}")\"" "$DIR/job-2.prn" ||
  fail "job 2: not the login password that Send-Document brought"

# --- the test page and a three-page document as locked prints, through Ghostscript ---
for doc in testpage three; do
  id=$(ipp c5200 locked-print.test -f "$DIR/$doc.pdf" -d pin="${SECRETS[5]}" -d hold=no-hold -d secrets=none |
    sed -n 's/^job-id = //p')
  [[ $(job_end c5200 "$id") == completed* ]] || fail "the $doc: $(job_state c5200 "$id")"
  [ "$(printed_jobs)" = 1 ] && log=$(stub 1)
  before=$(sed '/^PAGE 1$/,$d' <<<"$log")
  [ "$(grep -cE "SetJobType JobType=1 UserID=alice Time=$time Password=${SECRETS[5]} " <<<"$before")" = 1 ] ||
    fail "the $doc isn't locked once before its first page: $log"
  [ "$(grep -c '^PAGE ' <<<"$log")" = "$(pdfinfo "$DIR/$doc.pdf" | sed -n 's/^Pages: *//p')" ] || fail "the $doc's pages"
done

# --- a held job: what another user, the spool, the state and the log show ---
held=$(ipp c5200 locked-print.test -f "$PDF" -d pin=1357 -d hold=indefinite -d secrets=none | sed -n 's/^job-id = //p')
wait_for 10 job_is c5200 "$held" pending-held || fail "the job isn't held: $(job_state c5200 "$held")"
SECRETS+=(1357)
seen=$(CUPS_USER=mallory ipptool -tv -d jobid="$held" "$(printer_uri c5200)" "$SOURCE_DIR/tests/e2e/job-attributes.test")
grep -q job-uuid <<<"$seen" || fail "mallory got no job attributes: $seen"
handle=$(sed -n 's/^ *arvex-job-secrets (keyword) = //p' <<<"$seen" | head -n1)
[ -n "$handle" ] || fail "the held job carries no handle: $seen"
sleep 2  # the state is saved, with the held job
grep -rlq "$handle" "$DIR/spool" "$DIR/state" || fail "the held job isn't in the spool or the state"
for secret in "${SECRETS[@]}"; do
  ! grep -qw -- "$secret" <<<"$seen" || fail "another user sees $secret"
  ! grep -rqaw -- "$secret" "$DIR/spool" "$DIR/state" "$DIR/app.log" || fail "$secret is in $(grep -rlaw -- "$secret" "$DIR")"
done
# Another client's claim of the handle gets nothing of its secrets.
id=$(ipp c5200 forged-handle.test -f "$PDF" -d secrets="$handle" | sed -n 's/^job-id = //p')
[[ $(job_end c5200 "$id") == completed* ]] && [ "$(printed_jobs)" = 1 ] || fail "the forged job: $(job_state c5200 "$id")"
grep -aq '^@PJL ENTER LANGUAGE = PDF$' "$DIR/job-1.prn" && ! grep -aqw 1357 "$DIR/job-1.prn" ||
  fail "a claimed handle gave a job another job's PIN"
# A restart loses the held job's PIN: released, it is not printed. (Killed
# outright, as a crash would: PAPPL 1.3.1 waits 60 s for held jobs when told
# to stop, and the state it started from is already saved.)
kill -KILL "${PIDS[0]}" && { wait "${PIDS[0]}" 2>/dev/null || true; } && rm -f "/run/$NAME.sock" && LOG_LEVEL= app_start
ipp c5200 release-job.test -d jobid="$held" >/dev/null
[[ $(job_end c5200 "$held") == "aborted "*"lost when the server restarted"* ]] || fail "after a restart: $(job_state c5200 "$held")"
[ "$(printed_jobs)" = 0 ] || fail "the printer got the job whose PIN was lost"

# --- Send-Document is checked as Print-Job is: its job gets no document and leaves the queue ---
id=$(ipp c5200 send-refused.test -f "$PDF" | sed -n 's/^job-id = //p')
[[ $(job_end c5200 "$id") == aborted* ]] && [ "$(printed_jobs)" = 0 ] || fail "a refused Send-Document: $(job_state c5200 "$id")"
ipptool -tv "$(printer_uri c5200)" "$DATA/get-all.test" | grep -qx ' *queued-job-count (integer) = 0' ||
  fail "the refused Send-Document's job is still queued"

# --- a document Ghostscript can't read prints nothing ---
printf '%%PDF-1.7\nnot a document\n' >"$DIR/broken.pdf"
id=$(ipp c5200 locked-print.test -f "$DIR/broken.pdf" -d pin=4711 -d hold=no-hold -d secrets=none | sed -n 's/^job-id = //p')
[[ $(job_end c5200 "$id") == "aborted "*Ghostscript* ]] || fail "a broken document: $(job_state c5200 "$id")"
[ "$(printed_jobs)" = 0 ] || fail "the printer got a job Ghostscript couldn't read"

# --- over the local socket, where no secret can be kept out of the job, one prints nothing ---
! "$APP" submit -d c5200 -o job-password=4711 "$PDF" 2>/dev/null || fail "a PIN went to submit's job"
"$APP" submit -d c5200 "$PDF" -o 2>/dev/null && fail "a trailing -o was taken" || [ $? = 1 ] || fail "a trailing -o: status $?"
id=$(ipptool -tv -f "$PDF" -d pin=4711 -d hold=no-hold -d secrets=none "ipp://%2Frun%2F$NAME.sock/ipp/print/c5200" \
  "$DATA/locked-print.test" | sed -n 's/^ *job-id (integer) = //p')
[[ $(job_end c5200 "$id") == "aborted "*"local socket"* ]] && [ "$(printed_jobs)" = 0 ] ||
  fail "a PIN over the local socket: $(job_state c5200 "$id")"

# --- the local socket is root's alone ---
[ "$(stat -c %a "/run/$NAME.sock")" = 700 ] || fail "the local socket's mode is $(stat -c %a "/run/$NAME.sock")"
! runuser -u nobody -- "$APP" printers >/dev/null 2>&1 || fail "a user who isn't root administers over the socket"

echo "PASS: PINs and passwords reach the printer and no one else; lost ones print nothing"
