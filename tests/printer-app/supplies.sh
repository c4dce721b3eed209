#!/usr/bin/env bash
# Supply levels and printer states from an snmpd agent whose values change
# while the server runs: the printer's attributes follow within two cycles
# of the PPD (5 s), a bad reply changes nothing, and a silent agent stops
# neither printing nor the answers to IPP clients.
#   supplies.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/lib.sh"
source "$SOURCE_DIR/tests/support/snmp-agent.sh"

# A loopback address of this run's own, for the agent and the printer.
ADDR=127.$((RANDOM % 200 + 20)).$((RANDOM % 250 + 1)).$((RANDOM % 250 + 2))
AGENT="$DIR/agent"
LEVEL=.1.3.6.1.4.1.32473.3.2.1.2.24.1.1.5
STATE=.1.3.6.1.2.1.25.3.5.1.2.1
mkdir -p "$AGENT/oids"
set_levels() { for k in 1 2 3 4; do snmp_value "$AGENT" "$LEVEL.$k" "${2:-integer}" "$(cut -d, -f$k <<<"$1")"; done; }
set_levels 80,60,40,20
snmp_value "$AGENT" "$STATE" octet "20 00"
snmp_agent_start "$AGENT" "$ADDR" || exit 1

app_start
sink_start "$DIR/printer.prn" "OPEN:$DIR/printer.prn,creat,append" "$ADDR"
add_printer c5200 arvex-c5200 "$SINK_PORT" "$ADDR"

supplies() { ipp c5200 supplies.test; }
# shows LINE...: within two cycles (and a second) the attributes hold every line.
shows() {
  local want; want=$(printf '%s\n' "$@")
  for ((t = 0; t < 110; t++)); do
    [ "$(supplies | grep -cxF "$want")" -eq $# ] && return 0
    sleep 0.1
  done
  fail "after two cycles, expected $* among: $(supplies)"
}

shows 'marker-levels = 80,60,40,20' 'marker-colors = #00FFFF,#FF00FF,#FFFF00,#000000' \
  'marker-names = Cyan Toner,Magenta Toner,Yellow Toner,Black Toner' 'marker-types = toner,toner,toner,toner' \
  'printer-state-reasons = toner-low'

# Jammed, door open, output full (0x0C08), toner no longer low; then all
# clear. (PAPPL 1.3.1 lists no reason after toner-low: door-open is set but
# not shown.)
set_levels 75,55,35,15
snmp_value "$AGENT" "$STATE" octet "0C 08"
shows 'marker-levels = 75,55,35,15' 'printer-state-reasons = other,media-jam'
snmp_value "$AGENT" "$STATE" octet "00"
shows 'printer-state-reasons = none'

# Bad replies for two cycles: a level of another type, one over 100, a
# state of three octets. Nothing changes.
snmp_value "$AGENT" "$STATE" octet "04 00 00"
set_levels 70,50,30,x string
sleep 5
set_levels 70,50,30,101
sleep 6
shows 'marker-levels = 75,55,35,15' 'printer-state-reasons = none'

# A silent agent: the server answers and prints.
kill -STOP "${PIDS[0]}"
sleep 1
[[ $(job_end c5200 "$(print_file c5200 "$PDF" application/pdf)") == completed* ]] ||
  fail "no printing while the agent is silent"
kill -CONT "${PIDS[0]}"
echo "PASS: levels and states follow the agent; bad and missing replies change nothing and stop nothing"
