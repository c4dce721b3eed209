# For the Printer Application's end-to-end tests (source lib.sh BUILD_DIR
# SOURCE_DIR): a private server on 127.0.0.1, socat printers, ipptool. Root only
# (sub-commands use /run/NAME.sock), else 77; processes are stopped by PID.
source "$(dirname "${BASH_SOURCE[0]}")/../support/e2e.sh" app "$@"
DATA="$SOURCE_DIR/tests/printer-app" PDF="$SOURCE_DIR/fixtures/sample.pdf"
NAME=arvex-app-test-$$  # so that /run/NAME.sock is this test's, not an installed server's
APP="$DIR/$NAME" && ln -s "$BUILD_DIR/arvex-printer-app" "$APP"
UNDO+=("rm -f /run/$NAME.sock") LOGS+=("$DIR/app.log")
export ARVEX_PRINTER_APP_DATADIR="$BUILD_DIR" ARVEX_PPD_DIR="$BUILD_DIR/ppd/arvex"
[ -f "$ARVEX_PPD_DIR/arvex-c5200.ppd" ] || fail "no PPDs in $ARVEX_PPD_DIR"
# Same scheduler version as the server announces to the writers.
FILTER_ENV=(SOFTWARE="CUPS/$(cups-config --version | cut -d. -f1,2)")

# app_start [-o option=value...]: run the server, logging at debug level
# (secrets too) unless LOG_LEVEL says otherwise; APP_PORT is its port. (The
# sub-commands would start a server of their own: wait on the socket.)
app_start() {
  APP_PORT=$(free_port)
  # PAPPL deletes a printed file that lies in its temporary folder: with the
  # default, /tmp, that would take the build's test page in a tree under /tmp.
  mkdir -p "$DIR/tmp"
  TMPDIR="$DIR/tmp" "$APP" server -o server-port="$APP_PORT" -o listen-hostname="${LISTEN:-127.0.0.1}" \
    -o spool-directory="$DIR/spool" \
    -o state-file="$DIR/state/app.state" -o log-file="$DIR/app.log" \
    ${LOG_LEVEL--o log-level=debug -o debug-logs-secrets=yes} "$@" &
  PIDS+=($!)
  wait_for 10 test -S "/run/$NAME.sock" || fail "the server doesn't start"
  wait_for 10 curl -fs -o /dev/null "http://127.0.0.1:$APP_PORT/" || fail "the server doesn't answer"
}

# sink_start FILE [socat address] [IP]: a printer on a free port of IP
# (127.0.0.1), SINK_PORT, that writes what it gets to FILE (or to the address).
sink_start() {
  SINK_PORT=$(free_port)
  socat -u "TCP-LISTEN:$SINK_PORT,bind=${3:-127.0.0.1},reuseaddr,fork" "${2:-OPEN:$1,creat,append}" \
    >/dev/null 2>>"$DIR/socat.log" &
  PIDS+=($!)
  wait_for 5 socat -u /dev/null "TCP:${3:-127.0.0.1}:$SINK_PORT" || fail "socat doesn't listen"
  : >"$1"
}

add_printer() { "$APP" add -d "$1" -v "socket://${4:-127.0.0.1}:$3" -m "$2" || fail "can't add $1"; }  # NAME DRIVER PORT [IP]
printer_uri() { echo "ipp://${AS:+$AS@}127.0.0.1:$APP_PORT/ipp/print/$1"; }  # as user:password AS

# ipp PRINTER TEST [ipptool options]: run an ipptool test file of this
# folder (or a path); the values it DISPLAYs as "name = value" lines.
ipp() {
  local printer=$1 test=$2; shift 2
  [ -f "$test" ] || test="$DATA/$test"
  ipp_display "$(printer_uri "$printer")" "$test" "$@"
}

target_uri() { printer_uri "$1"; }  # the job helpers of e2e.sh take printer names here

# print_file PRINTER FILE FORMAT [ipptool -d options]: echoes the job id.
print_file() {
  local printer=$1 file=$2 format=$3; shift 3
  ipp "$printer" print-job.test -f "$file" -d format="$format" "$@" | sed -n 's/^job-id = //p'
}

# pdfs_in FILE: check every PDF the printer got in FILE with pdfinfo;
# echoes the number of jobs.
pdfs_in() {
  rm -f "$DIR"/extracted-*.pdf
  python3 - "$1" "$DIR/extracted" <<'EOF'
import sys
data, start, end = open(sys.argv[1], "rb").read(), b"@PJL ENTER LANGUAGE = PDF\n", b"\x1b%-12345X@PJL EOJ\n"
pdfs = [part[:part.index(end)] for part in data.split(start)[1:]]
for n, pdf in enumerate(p for p in pdfs if p):  # none: a job cancelled before its first byte
    open("%s-%d.pdf" % (sys.argv[2], n), "wb").write(pdf)
print(len(pdfs))
EOF
  for pdf in "$DIR"/extracted-*.pdf; do
    pdfinfo "$pdf" >/dev/null 2>&1 || fail "pdfinfo can't read a PDF built from raster ($pdf)"
  done
}

# pam_users T: this run's groups Tp (printing) and Ta (administrators), users
# Tin (in Tp), Tout and Tadm (in Ta) with the passwords pw-in, pw-out and
# pw-adm, and the PAM service T; PAM_SERVER, the server's options for them.
pam_users() {
  local T=$1 u
  groupadd "${T}p" && groupadd "${T}a" && UNDO+=("groupdel ${T}p" "groupdel ${T}a") || fail "groupadd"
  for u in in out adm; do
    useradd -M -N -s /usr/sbin/nologin "$T$u" && UNDO=("userdel $T$u" "${UNDO[@]}") && echo "$T$u:pw-$u" | chpasswd
  done
  usermod -aG "${T}p" "${T}in" && usermod -aG "${T}a" "${T}adm" || fail "useradd"
  printf '%s\n' "auth required pam_unix.so" "account required pam_unix.so" >"/etc/pam.d/$T" && UNDO+=("rm /etc/pam.d/$T")
  PAM_SERVER=(-o auth-service="$T" -o print-group="${T}p" -o admin-group="${T}a")
}

# secrets_hold SECRET...: whether the server's secrets file (in hex) holds each.
secrets_hold() {
  local secret
  for secret; do grep -q "$(printf '%s' "$secret" | od -An -tx1 -v | tr -d ' \n')" "$DIR/state/app.state.secrets" || return 1; done
}

# auth_password LOGIN KEY PASSWORD: the login password as openssl encrypts
# it (AES-256-CBC under SHA-256 of login name and key, the IV its first 16
# bytes), in base64, as a job's AUTHENTICATIONPASSWORD line holds it.
auth_password() {
  local hash
  hash=$(printf '%s%s' "$1" "$2" | openssl dgst -sha256 -binary | od -An -tx1 -v | tr -d ' \n')
  printf '%s' "$3" | openssl enc -aes-256-cbc -K "$hash" -iv "${hash:0:32}" | base64 -w0
}
