#!/usr/bin/env bash
# Levels and states follow an snmpd agent's changing values within two cycles
# (5 s each), an open door as cover-open, and a door open only between two
# reads is never seen; bad replies change nothing; a silent agent stops no
# printing.
#   supplies.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/lib.sh"

ADDR=127.$((RANDOM % 200 + 20)).$((RANDOM % 250 + 1)).$((RANDOM % 250 + 2)) AGENT="$DIR/agent"
LEVEL=.1.3.6.1.4.1.32473.3.2.1.2.24.1.1.5 STATE=.1.3.6.1.2.1.25.3.5.1.2.1
set_levels() { for k in 1 2 3 4; do snmp_value "$AGENT" "$LEVEL.$k" "${2:-integer}" "$(cut -d, -f$k <<<"$1")"; done; }
mkdir -p "$AGENT/oids" && set_levels 80,60,40,20 && snmp_value "$AGENT" "$STATE" octet "20 00"
snmp_agent_start "$AGENT" "$ADDR" || exit 1
app_start && sink_start "$DIR/printer.prn" "" "$ADDR" && add_printer c5200 arvex-c5200 "$SINK_PORT" "$ADDR"

has() { [ "$(ipp c5200 supplies.test | grep -cxF "$(printf '%s\n' "$@")")" -eq $# ]; }
shows() { wait_for 11 has "$@" || fail "after two cycles, expected $* among: $(ipp c5200 supplies.test)"; }
shows 'marker-levels = 80,60,40,20' 'marker-colors = #00FFFF,#FF00FF,#FFFF00,#000000' \
  'marker-names = Cyan Toner,Magenta Toner,Yellow Toner,Black Toner' 'marker-types = toner,toner,toner,toner' \
  'printer-state-reasons = toner-low'  # (the loopback ADDR is this run's own)
# Jammed, door open, output full (0x0C08); then all clear. (PAPPL 1.3.1
# lists no reason after toner-low: the open door shows as cover-open.)
set_levels 75,55,35,0 && snmp_value "$AGENT" "$STATE" octet "0C 08"
shows 'marker-levels = 75,55,35,0' 'printer-state-reasons = other,cover-open,media-jam'
echo "door open: $(ipp c5200 supplies.test | grep reasons)"
snmp_value "$AGENT" "$STATE" octet "00"
shows 'printer-state-reasons = none'
echo "door closed: $(ipp c5200 supplies.test | grep reasons)"

# A door opened just after the state was read and closed before the next
# read (5 s on) is never seen: the printer says its state when asked.
read_since() { [ "$(grep -c "^$STATE\$" "$AGENT/gets")" -gt "$1" ]; }  # the state read since the count $1
n=$(grep -c "^$STATE\$" "$AGENT/gets") && wait_for 6 read_since "$n" || fail "the state isn't read every cycle"
snmp_value "$AGENT" "$STATE" octet "08 00" && sleep 2 && snmp_value "$AGENT" "$STATE" octet "00"
n=$((n + 1)) && for _ in $(seq 40); do
  ipp c5200 supplies.test | grep -qx 'printer-state-reasons = none' || fail "a door open between reads showed"
  read_since "$n" && break || sleep 0.2
done
read_since "$n" || fail "the state wasn't read again"
echo "door open and closed between reads: $(ipp c5200 supplies.test | grep reasons)"

# A cycle each of a level of another type and one over 100, a state of
# three octets throughout: nothing changes.
snmp_value "$AGENT" "$STATE" octet "04 00 00" && set_levels 70,50,30,x string && sleep 5
set_levels 70,50,30,101 && sleep 6
has 'marker-levels = 75,55,35,0' 'printer-state-reasons = none' || fail "bad replies changed $(ipp c5200 supplies.test)"

kill -STOP "${PIDS[0]}"  # the agent falls silent
[[ $(job_end c5200 "$(print_file c5200 "$PDF" application/pdf)") == completed* ]] || fail "no printing, agent silent"
echo "PASS: levels and states follow the agent; bad and missing replies change nothing and stop nothing"
