#!/usr/bin/env bash
# Supplies in the Printer Application, printed as figures:
#  - Get-Printer-Attributes latency for a printer whose SNMP agent never
#    answers (stopped with SIGSTOP), across several query cycles, beside the
#    same for a printer whose agent answers;
#  - the time from a change of the agent's printer state to the new
#    printer-state-reasons, over 4 changes (the PPD's cycle is 5 s).
# Root only (the server's sub-commands use /run).
#   bench/printer-app-supplies.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/../tests/printer-app/lib.sh"
median() { printf '%s\n' "$@" | sort -g | sed -n "$((($# + 1) / 2))p"; }
now() { date +%s.%N; }

app_start
STATE=.1.3.6.1.2.1.25.3.5.1.2.1
for name in silent answering; do
  addr=127.$((RANDOM % 200 + 20)).$((RANDOM % 250 + 1)).$((RANDOM % 250 + 2))
  mkdir -p "$DIR/$name/oids"
  for k in 1 2 3 4; do snmp_value "$DIR/$name" ".1.3.6.1.4.1.32473.3.2.1.2.24.1.1.5.$k" integer 50; done
  snmp_value "$DIR/$name" "$STATE" octet "00"
  snmp_agent_start "$DIR/$name" "$addr" || exit 1
  [ "$name" = silent ] && kill -STOP "${PIDS[-1]}"
  sink_start "$DIR/$name.prn" "" "$addr"
  add_printer "$name" arvex-c5200 "$SINK_PORT" "$addr"
done

for ((n = 0; n < 150; n++)); do ipp answering supplies.test | grep -q marker-levels && break; sleep 0.1; done

# Each figure: one ipptool process repeating the request 100 times on one
# connection, its time divided by 100; 8 such batches 1.5 s apart.
for name in silent answering; do
  times=()
  for ((n = 0; n < 8; n++)); do
    start=$(now)
    ipptool -q -n 100 "$(printer_uri "$name")" "$DATA/supplies.test" || fail "ipptool"
    times+=("$(awk -v a="$start" -v b="$(now)" 'BEGIN { printf "%.2f", (b - a) * 1000 / 100 }')")
    sleep 1.5
  done
  sorted=$(printf '%s\n' "${times[@]}" | sort -g)
  echo "Get-Printer-Attributes, agent $name: median $(median "${times[@]}") ms, worst batch $(tail -1 <<<"$sorted") ms" \
    "per request (8 batches of 100 over $((8 * 2)) s)"
done

seen=()
for value in "20 00" "04 00" "00" "20 00"; do
  snmp_value "$DIR/answering" "$STATE" octet "$value"
  start=$(now) before=$(ipp answering supplies.test | grep reasons)
  for ((n = 0; n < 600; n++)); do [ "$(ipp answering supplies.test | grep reasons)" = "$before" ] || break; sleep 0.05; done
  seen+=("$(awk -v a="$start" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }')")
  echo "state $value: $(ipp answering supplies.test | grep reasons) after ${seen[-1]} s"
done
echo "new state seen after: median $(median "${seen[@]}") s (cycle 5 s)"
