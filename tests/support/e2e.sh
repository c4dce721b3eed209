# What the end-to-end scripts share (source e2e.sh NAME BUILD_DIR SOURCE_DIR):
# root only, else exit 77; a fresh DIR, removed at the end unless
# ARVEX_E2E_KEEP=1; at exit every PID in PIDS is stopped, every command in
# UNDO run, and the files in LOGS shown if the test failed. Services listen
# on 127.0.0.0/8 only.
set -euo pipefail
BUILD_DIR=$(cd "${2:?build directory}" && pwd)
SOURCE_DIR=$(cd "${3:?source directory}" && pwd)
[ "$(id -u)" -eq 0 ] || { echo "SKIPPED: the $1 tests need root"; exit 77; }
DIR=$(mktemp -d "/tmp/arvex-$1-XXXXXX")
PIDS=() UNDO=() LOGS=()

cleanup() {
  local status=$?
  # Last started, first stopped: a server goes before the daemons it uses.
  for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do
    kill "${PIDS[i]}" 2>/dev/null && kill -CONT "${PIDS[i]}" 2>/dev/null && wait "${PIDS[i]}" 2>/dev/null || true
  done
  for undo in "${UNDO[@]}"; do eval "$undo" >/dev/null 2>&1 || true; done
  [ "$status" -eq 0 ] || for log in "${LOGS[@]}"; do tail -n 40 "$log" 2>/dev/null || true; done
  if [ "${ARVEX_E2E_KEEP:-0}" = 1 ]; then echo "kept $DIR"; else rm -rf "$DIR"; fi
  exit "$status"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
wait_for() {  # wait_for SECONDS COMMAND...: retry the command until it succeeds
  local i limit=$(($1 * 10)); shift
  for ((i = 0; i < limit; i++)); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done; return 1
}

# ipp_display URI TEST [ipptool options]: the values an ipptool test file
# DISPLAYs, as "name = value" lines.
ipp_display() {
  local uri=$1 test=$2 out; shift 2
  out=$(ipptool -t "$@" "$uri" "$test") || fail "ipptool $test: $out"
  sed -n 's/^ *\([a-z-]*\) ([^)]*) = /\1 = /p' <<<"$out"
}

# The state of a job as "STATE MESSAGE" (job_state TARGET ID), whether it
# has ended (job_ended), whether it is in STATE (job_is TARGET ID STATE), and
# waiting at most 30 s for its end (job_end, echoes job_state). TARGET is a
# printer URI; a script whose printers have names redefines target_uri.
target_uri() { echo "$1"; }
job_state() {
  ipp_display "$(target_uri "$1")" "$SOURCE_DIR/tests/support/get-job.test" -d jobid="$2" |
    sed -n 's/^job-state\(-message\)\{0,1\} = //p' | paste -sd ' '
}
job_is() { [[ $(job_state "$1" "$2") == "$3 "* ]]; }
job_ended() { [[ $(job_state "$1" "$2") =~ ^(completed|aborted|canceled) ]]; }
job_end() { wait_for 30 job_ended "$1" "$2" || true; job_state "$1" "$2"; }

# cupsd_start BACKEND...: a private cupsd on 127.0.0.1:CUPS_PORT and
# DIR/cups.sock (exported as CUPS_SERVER) with the system's backends named;
# filters go in DIR/serverbin/filter (root's, mode 755, as cupsd demands).
cupsd_start() {
  local b d
  CUPS_PORT=$(free_port)
  export CUPS_SERVER="$DIR/cups.sock"
  mkdir -p "$DIR"/{cache,state,spool/tmp,log,serverbin/backend,serverbin/filter}
  ln -s /usr/lib/cups/daemon "$DIR/serverbin/daemon"
  for b in "$@"; do ln -s "/usr/lib/cups/backend/$b" "$DIR/serverbin/backend/$b"; done
  chown root:lp "$DIR/spool" "$DIR/spool/tmp" "$DIR/cache" "$DIR/state"
  chmod 710 "$DIR/spool" && chmod 1770 "$DIR/spool/tmp" && chmod 770 "$DIR/cache" "$DIR/state"
  chmod 755 "$DIR" "$DIR/serverbin" "$DIR/serverbin/backend" "$DIR/serverbin/filter"
  {
    echo "User lp"; echo "Group lp"; echo "SystemGroup root"; echo "ServerRoot $DIR"; echo "ServerBin $DIR/serverbin"
    for d in CacheDir:cache StateDir:state RequestRoot:spool TempDir:spool/tmp ErrorLog:log/error_log \
      AccessLog:log/access_log PageLog:log/page_log Printcap:printcap; do echo "${d%%:*} $DIR/${d#*:}"; done
  } >"$DIR/cups-files.conf"
  printf '%s\n' "Listen 127.0.0.1:$CUPS_PORT" "Listen $DIR/cups.sock" "LogLevel debug" "MaxLogSize 0" "Browsing No" \
    "WebInterface No" "DefaultAuthType None" "<Location />" "Order allow,deny" "Allow all" "</Location>" \
    "<Policy default>" "<Limit All>" "Order deny,allow" "</Limit>" "</Policy>" >"$DIR/cupsd.conf"
  cupsd -f -c "$DIR/cupsd.conf" -s "$DIR/cups-files.conf" &
  PIDS+=($!) LOGS+=("$DIR/log/error_log")
  wait_for 10 lpstat -r || fail "cupsd doesn't start"
}

# snmp_agent_start AGENT ADDRESS: snmpd on UDP port 161 of a loopback
# address, answering GET for each OID that has a file in AGENT/oids, named
# for the OID and holding the type and value lines of snmpd's pass
# protocol; snmp_value AGENT OID TYPE VALUE writes one, also while it runs.
# Every OID asked for is appended to AGENT/gets.
snmp_value() { mkdir -p "$1/oids" && printf '%s\n%s\n' "$3" "$4" >"$1/oids/$2.new" && mv "$1/oids/$2.new" "$1/oids/$2"; }
snmp_agent_start() {
  local agent=$1 address=$2
  mkdir -p "$agent/snmp"
  printf '%s\n' '#!/bin/sh' '[ "$2" = "-g" ] && echo "$3" >>"$1/gets"' \
    '[ "$2" = "-g" ] && [ -f "$1/oids/$3" ] || exit 0' 'echo "$3"; cat "$1/oids/$3"' >"$agent/pass.sh"
  printf '%s\n' "agentaddress udp:$address:161" "rocommunity public 127.0.0.0/8" \
    "pass .1.3.6.1.4.1.32473.3.2.1.2.24.1.1.5 /bin/sh $agent/pass.sh $agent" \
    "pass .1.3.6.1.2.1.25.3.5.1.2 /bin/sh $agent/pass.sh $agent" >"$agent/snmpd.conf"
  SNMP_PERSISTENT_DIR="$agent/snmp" snmpd -f -Lo -C -c "$agent/snmpd.conf" -I -hr_print >"$agent/snmpd.log" 2>&1 &
  PIDS+=($!) LOGS+=("$agent/snmpd.log")
  wait_for 5 snmpget -v1 -c public -r0 -t1 "$address" "$(ls -A "$agent/oids" | head -n 1)" ||
    fail "snmpd doesn't answer on $address:161"
}
