#!/usr/bin/env bash
# What can't print: values unfit for PJL are refused before a job exists;
# bad documents end their job with a message, nothing at the printer; a
# cancelled job ends with the trailer; a printer that goes away or refuses
# the connection leaves a message and a server that keeps serving.
#   failures.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/lib.sh"

app_start && sink_start "$DIR/printer.prn" && add_printer m4200 arvex-m4200 "$SINK_PORT"
printf '\033%%-12345X@PJL EOJ\n' >"$DIR/trailer" && cp "$PDF" "$DIR/big.pdf" && head -c $((32 * 1024 * 1024)) /dev/zero | tr '\0' '%' >>"$DIR/big.pdf"

expect_aborted() {  # PRINTER ID MESSAGE: the job ended aborted, saying MESSAGE
  local state; state=$(job_end "$1" "$2")
  [[ $state == "aborted "*"$3"* ]] || fail "job $2: expected aborted with '$3', got '$state'"
}

# --- refused before a job exists ---
for pin in 471:none 123456789:none 47a1:none 4711:sha-256; do
  ipp m4200 refused.test -f "$PDF" -d pin="${pin%:*}" -d encryption="${pin#*:}" >"$DIR/refused.out"
done
[ -z "$(ipp m4200 get-jobs.test -d which=all)" ] || fail "a refused request left a job"

# --- refused when the job prints: over the local socket, a bad document ---
"$APP" submit -d m4200 -t $'Report\n@PJL SET X=1' "$PDF" >/dev/null
expect_aborted m4200 1 "control character"
echo "not a PDF" >"$DIR/text.pdf" && printf 'RaS2 broken raster header' >"$DIR/broken.pwg"
expect_aborted m4200 "$(print_file m4200 "$DIR/text.pdf" application/pdf)" "not a PDF"
expect_aborted m4200 "$(print_file m4200 "$DIR/broken.pwg" image/pwg-raster)" ""
gs -q -sDEVICE=pwgraster -r300 -dcupsColorSpace=18 -dcupsBitsPerColor=8 -o "$DIR/zero.pwg" "$BUILD_DIR/testpage.pdf"
printf '\0\0\0\0' | dd of="$DIR/zero.pwg" bs=1 seek=280 conv=notrunc status=none  # HWResolution[0] (after RaS2 and 276 bytes)
expect_aborted m4200 "$(print_file m4200 "$DIR/zero.pwg" image/pwg-raster)" "resolution the printer can't take" && sleep 0.5
[ ! -s "$DIR/printer.prn" ] || fail "the printer got bytes of a refused job: $(head -c 80 "$DIR/printer.prn")"

# --- cancelled mid-job: what was sent, then the trailer (the printer reads
# only when the test lets it, the PDF is big) ---
mkfifo "$DIR/slow.fifo" && sink_start "$DIR/slow.prn" "OPEN:$DIR/slow.fifo,append"
add_printer slow arvex-m4200 "$SINK_PORT"
id=$(print_file slow "$DIR/big.pdf" application/pdf)
wait_for 10 job_is slow "$id" processing || fail "the job doesn't start"
sleep 1
ipp slow cancel-job.test -d jobid="$id" >/dev/null
cat "$DIR/slow.fifo" >"$DIR/slow.prn" &
PIDS+=($!)
[[ $(job_end slow "$id") == canceled* ]] || fail "the job wasn't cancelled"
wait_for 10 bash -c "tail -c 18 '$DIR/slow.prn' | cmp -s - '$DIR/trailer'" ||
  fail "a cancelled job didn't end with the trailer"
size=$(stat -c %s "$DIR/slow.prn")
[ "$size" -lt "$(stat -c %s "$DIR/big.pdf")" ] || fail "the cancelled job went out whole"
head -c $((size - 18)) "$DIR/slow.prn" | tail -c 100 | grep -q '%%%%' || fail "the trailer didn't follow the document data"

# --- the printer goes away mid-job ---
sink_start "$DIR/gone.prn" "SYSTEM:head -c 100000 >/dev/null"
add_printer gone arvex-m4200 "$SINK_PORT"
expect_aborted gone "$(print_file gone "$DIR/big.pdf" application/pdf)" "printer connection failed"

# --- the printer refuses the connection: the job waits until cancelled ---
add_printer refused arvex-m4200 "$(free_port)"
id=$(print_file refused "$PDF" application/pdf)
sleep 6
job_is refused "$id" processing || fail "the job for an unreachable printer didn't wait: $(job_state refused "$id")"
ipp refused cancel-job.test -d jobid="$id" >/dev/null
[[ $(job_end refused "$id") == canceled* ]] || fail "the waiting job wasn't cancelled"

# --- still serving (the state file's mode: access.sh) ---
[[ $(job_end m4200 "$(print_file m4200 "$PDF" application/pdf)") == completed* ]] || fail "no longer printing"
echo "PASS: refusals, bad documents, cancellation and printer failures"
