#!/usr/bin/env bash
# The Printer Application against the filter, printed as figures:
#  - a 1 GiB PDF: the time from the first to the last byte at the printer,
#    through the application (PDF job, device writes to a TCP printer) and
#    through arvex-pdf-filter piped into the same kind of printer (as the
#    CUPS socket backend carries it), their ratio, and the filter alone
#    writing to /dev/null;
#  - the latency from sending Print-Job (a one-page PDF) to the first byte
#    at the printer, over 20 jobs.
# Root only (the server's sub-commands use /run); 2 GiB of room in /tmp.
#   bench/printer-app.sh BUILD_DIR SOURCE_DIR [SIZE_MIB]
source "$(dirname "$0")/../tests/printer-app/lib.sh"
SIZE_MIB=${3:-1024}
calc() { awk "BEGIN { print $1 }"; }
median() { printf '%s\n' "$@" | sort -g | sed -n "$((($# + 1) / 2))p"; }

# A printer that reads everything and, at the end of each connection,
# appends "bytes first-byte-time last-byte-time" (seconds) to $DIR/timings.
SINK=$(free_port)
python3 - "$DIR/timings" "$SINK" <<'EOF' &
import socket, sys, time
server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", int(sys.argv[2])))
server.listen(4)
while True:
    conn, _ = server.accept()
    first, size = None, 0
    while data := conn.recv(1 << 20):
        first = first or time.time()
        size += len(data)
    with open(sys.argv[1], "a") as out:
        out.write("%d %.6f %.6f\n" % (size, first or 0, time.time()))
    conn.close()
EOF
PIDS+=($!)
wait_for 5 socat -u /dev/null "TCP:127.0.0.1:$SINK"
: >"$DIR/timings"
last_timing() {
  wait_for 600 test -s "$DIR/timings"
  tail -1 "$DIR/timings"
  : >"$DIR/timings"
}

app_start
add_printer bench arvex-m4000 "$SINK"

BIG="$DIR/big.pdf"
cp "$PDF" "$BIG"
head -c $((SIZE_MIB * 1024 * 1024 - $(stat -c %s "$PDF"))) /dev/zero | tr '\0' '%' >>"$BIG"

# The filter, alone and into the printer through a pipe and socat.
filter() {
  env PPD="$ARVEX_PPD_DIR/arvex-m4000.ppd" "${FILTER_ENV[@]}" "$BUILD_DIR/arvex-pdf-filter" 1 alice "Test job" 1 \
    "PageSize=A4 Duplex=None Collate=True OutputBin=FaceDown" "$BIG" 2>/dev/null
}
start=$(date +%s.%N)
filter >/dev/null
filter_alone=$(calc "$(date +%s.%N) - $start")
filter | socat -u - "TCP:127.0.0.1:$SINK"
read -r filter_bytes filter_first filter_last < <(last_timing)

# The application, once the document is spooled.
id=$(print_file bench "$BIG" application/pdf)
read -r app_bytes app_first app_last < <(last_timing)
job_end bench "$id" >/dev/null

# Print-Job to first byte: a client that stamps the time as it sends.
cat >"$DIR/print_job_at.py" <<'EOF'
import http.client, struct, sys, time
def attr(tag, name, value):
    return struct.pack(">BH", tag, len(name)) + name.encode() + struct.pack(">H", len(value)) + value.encode()
port = int(sys.argv[1])
ipp = struct.pack(">BBHI", 2, 0, 0x0002, 1) + b"\x01" + attr(0x47, "attributes-charset", "utf-8") + \
    attr(0x48, "attributes-natural-language", "en") + \
    attr(0x45, "printer-uri", "ipp://127.0.0.1:%d/ipp/print/bench" % port) + \
    attr(0x42, "requesting-user-name", "alice") + attr(0x42, "job-name", "Test job") + \
    attr(0x49, "document-format", "application/pdf") + b"\x03" + open(sys.argv[2], "rb").read()
connection = http.client.HTTPConnection("127.0.0.1", port)
connection.connect()
print("%.6f" % time.time())
connection.request("POST", "/ipp/print/bench", ipp, {"Content-Type": "application/ipp"})
connection.getresponse().read()
EOF
latency=()
for ((i = 0; i < 20; i++)); do
  start=$(python3 "$DIR/print_job_at.py" "$APP_PORT" "$PDF")
  read -r _ first _ < <(last_timing)
  latency+=("$(calc "($first - $start) * 1000")")
done

printf 'PDF of %d MiB, first to last byte at the printer:\n' "$SIZE_MIB"
printf '  arvex-pdf-filter | socat   %8.2f s  (%d bytes)\n' "$(calc "$filter_last - $filter_first")" "$filter_bytes"
printf '  arvex-printer-app         %8.2f s  (%d bytes)\n' "$(calc "$app_last - $app_first")" "$app_bytes"
printf '  ratio application/filter  %8.2f\n' "$(calc "($app_last - $app_first) / ($filter_last - $filter_first)")"
printf '  arvex-pdf-filter > /dev/null %5.2f s  (the filter alone, start to exit)\n' "$filter_alone"
printf 'Print-Job to first byte at the printer, 20 one-page jobs: median %.1f ms, slowest %.1f ms\n' \
  "$(median "${latency[@]}")" "$(printf '%s\n' "${latency[@]}" | sort -g | tail -1)"
