#!/usr/bin/env bash
# The printers of two applications (one name in both, one with a space and
# an accented letter) as avahi-browse sees them, with the TXT keys IPP
# Everywhere clients read, and a CUPS everywhere queue made from a URI found;
# a private system bus and avahi-daemon in namespaces of the test's own; one
# icon file missing. Skipped where avahi-daemon can't start.
#   dnssd.sh BUILD_DIR SOURCE_DIR
if [ "${1:-}" != --in-namespace ]; then
  [ "$(id -u)" -eq 0 ] || { echo "SKIPPED: the DNS-SD test needs root"; exit 77; }
  command -v avahi-daemon >/dev/null && command -v avahi-browse >/dev/null && command -v dbus-daemon >/dev/null ||
    { echo "SKIPPED: avahi-daemon, avahi-browse or dbus-daemon is missing"; exit 77; }
  unshare --mount --net true 2>/dev/null || { echo "SKIPPED: no private mount and network namespaces"; exit 77; }
  exec unshare --mount --net --fork bash "$0" --in-namespace "$@"
fi
shift
source "$(dirname "$0")/lib.sh"

# Loopback and a veth pair for multicast (avahi leaves loopback alone).
mount --make-rprivate /
ip link set lo up && ip link add dnssd0 type veth peer name dnssd1 && ip addr add 10.77.0.1/24 dev dnssd0 &&
  ip link set dnssd0 multicast on up && ip link set dnssd1 up || fail "no virtual interfaces"
mkdir -p "$DIR/run/avahi-daemon" "$DIR/run/dbus" && mount --bind "$DIR/run" /run || fail "no private /run"
printf '%s\n' '<busconfig><type>system</type>' "<listen>unix:path=$DIR/bus</listen><auth>EXTERNAL</auth>" \
  '<policy context="default"><allow user="*"/><allow own="*"/><allow send_destination="*"/>' \
  '<allow receive_sender="*"/></policy></busconfig>' >"$DIR/bus.conf"
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$DIR/bus"
dbus-daemon --config-file="$DIR/bus.conf" --nofork --nopidfile &
PIDS+=($!)
wait_for 5 test -S "$DIR/bus" || fail "the private system bus doesn't start"
printf '%s\n' '[server]' 'allow-interfaces=dnssd0' 'use-ipv6=no' 'ratelimit-burst=1000' '[publish]' \
  'publish-workstation=no' '[rlimits]' >"$DIR/avahi.conf"
avahi-daemon -f "$DIR/avahi.conf" --no-drop-root --no-chroot --no-rlimits >"$DIR/avahi.log" 2>&1 &
PIDS+=($!) LOGS+=("$DIR/avahi.log")
if ! wait_for 10 avahi-browse -at -p; then
  echo "SKIPPED: avahi-daemon doesn't start here: $(tail -n 3 "$DIR/avahi.log")"
  exit 77
fi

mkdir "$DIR/data" && cp "$BUILD_DIR"/testpage.pdf "$BUILD_DIR"/arvex-*.png "$DIR/data/" && rm "$DIR/data/arvex-mono-512.png"
export ARVEX_PRINTER_APP_DATADIR="$DIR/data"
LISTEN=0.0.0.0 app_start  # every address of the namespace, so that the URIs found work
sink_start "$DIR/printer.prn"
add_printer "Office C5200" arvex-c5200 "$SINK_PORT" && add_printer "Salle réunion 2" arvex-m4000 "$SINK_PORT"
SECOND=$DIR/second && mkdir -p "$SECOND/tmp" && ln -s "$BUILD_DIR/arvex-printer-app" "$SECOND/arvex-app-two-$$"
UNDO+=("rm -f /run/arvex-app-two-$$.sock")
TMPDIR="$SECOND/tmp" "$SECOND/arvex-app-two-$$" server -o server-port="$(free_port)" -o spool-directory="$SECOND/spool" \
  -o state-file="$SECOND/state" -o log-file="$SECOND/app.log" &
PIDS+=($!) LOGS+=("$SECOND/app.log")
wait_for 10 test -S "/run/arvex-app-two-$$.sock" || fail "the second application doesn't start"
# Its server takes the next name, "... #2". (PAPPL announces all again, unlocked, once Avahi takes the client in:
# a printer added then could go out under the name it is leaving. Hence the pause.)
wait_for 10 bash -c "timeout 5 avahi-browse -tp _ipps-system._tcp | grep -qF ';Arvex\\032Printer\\032Application\\032\\0352;'" ||
  fail "the second server isn't announced apart: $(timeout 5 avahi-browse -tp _ipps-system._tcp)"
sleep 1
"$SECOND/arvex-app-two-$$" add -d "Office C5200" -v "socket://127.0.0.1:$SINK_PORT" -m arvex-c5200 || fail "second add"

# avahi-browse -rtp lines: =;iface;proto;name;type;domain;host;address;port;"key=value" ...
# with names escaped as \DDD (decimal), a space as \032.
found() { timeout 10 avahi-browse -rtp _ipp._tcp 2>/dev/null | grep '^=' | sort -u || true; }
wait_for 30 bash -c "[ \$(timeout 10 avahi-browse -rtp _ipp._tcp 2>/dev/null | grep -c '^=') -ge 3 ]" ||
  fail "not three printers announced: $(found)"
services=$(found)
echo "$services" | sed 's/^/avahi-browse: /'
for name in 'Office\032C5200' 'Office\032C5200\032\0352' 'Salle\032r\195\169union\0322'; do
  line=$(grep -F ";$name;" <<<"$services" | head -n1)
  [ -n "$line" ] || fail "no service named $name: $services"
  for key in rp=ipp/print/ ty=Arvex 'pdl=[^"]*application/pdf' UUID= adminurl=http Color= Duplex=T; do
    grep -qE "\"$key" <<<"$line" || fail "$name: no TXT $key in $line"
  done
done
! grep -h "Unable to register" "$DIR/app.log" "$SECOND/app.log" || fail "a service was left unannounced"

line=$(grep -F ';Salle\032r\195\169union\0322;' <<<"$services" | head -n1)
IFS=';' read -r _ _ _ _ _ _ _ address port txt <<<"$line"
# rp as avahi-browse escapes it (\DDD) made a URI path.
rp=$(grep -oE '"rp=[^"]*"' <<<"$txt" | sed 's/^"rp=//; s/"$//' | python3 -c 'import re, sys, urllib.parse
raw = re.sub(rb"\\(\d{3})", lambda m: bytes([int(m[1])]), sys.stdin.buffer.read().strip())
print(urllib.parse.quote(raw))')
mkdir -p "$DIR/serverbin/filter" && ln -s /usr/lib/cups/filter/* "$DIR/serverbin/filter/"
cupsd_start ipp
wait_for 10 lpadmin -p found -E -v "ipp://$address:$port/$rp" -m everywhere || fail "lpadmin -m everywhere on the URI found"
id=$(lp -d found -t "Found" "$PDF" | sed -n 's/^request id is found-\([0-9]*\) .*/\1/p')
wait_for 60 bash -c "lpstat -W completed -o found | grep -q '^found-$id '" || fail "the CUPS job didn't complete"
wait_for 10 grep -aq '@PJL JOB NAME="Found"' "$DIR/printer.prn" || fail "the printer didn't get the CUPS job"
echo "PASS: both applications' printers announced with their TXT keys, names apart; CUPS printed to one it found"
