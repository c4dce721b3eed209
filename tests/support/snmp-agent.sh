# An SNMP agent for the tests: snmpd on UDP port 161 of a loopback address
# that answers GET for the OIDs that have a file in $1/oids, named for the
# OID and holding the type and value lines of snmpd's pass protocol. The
# test changes a value by rewriting its file, while the agent runs.
#   source snmp-agent.sh; snmp_agent_start DIR ADDRESS  (appends to PIDS)
#   snmp_value DIR OID TYPE VALUE
snmp_value() { printf '%s\n%s\n' "$3" "$4" >"$1/oids/$2.new" && mv "$1/oids/$2.new" "$1/oids/$2"; }

snmp_agent_start() {
  local dir=$1 address=$2
  mkdir -p "$dir/oids" "$dir/snmp"
  cat >"$dir/pass.sh" <<'PASS'
#!/bin/sh
[ "$2" = "-g" ] && [ -f "$1/oids/$3" ] || exit 0
echo "$3"; cat "$1/oids/$3"
PASS
  printf '%s\n' "agentaddress udp:$address:161" "rocommunity public 127.0.0.0/8" \
    "pass .1.3.6.1.4.1.32473.3.2.1.2.24.1.1.5 /bin/sh $dir/pass.sh $dir" \
    "pass .1.3.6.1.2.1.25.3.5.1.2 /bin/sh $dir/pass.sh $dir" >"$dir/snmpd.conf"
  SNMP_PERSISTENT_DIR="$dir/snmp" snmpd -f -Lo -C -c "$dir/snmpd.conf" -I -hr_print >"$dir/snmpd.log" 2>&1 &
  PIDS+=($!)
  local oid
  oid=$(ls -A "$dir/oids" | head -n 1)
  for ((i = 0; i < 20; i++)); do
    snmpget -v1 -c public -r0 -t1 "$address" "$oid" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "FAIL: snmpd doesn't answer on $address:161 ($(cat "$dir/snmpd.log"))" >&2
  return 1
}
