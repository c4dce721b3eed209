#!/usr/bin/env bash
# Plays the printer for a PostScript job as it leaves the filter: checks the
# PJL frame (UEL first, @PJL lines up to exactly one ENTER LANGUAGE =
# POSTSCRIPT line, UEL @PJL EOJ and a line end last), runs the PostScript in
# between through Ghostscript with the stand-in ADeviceProcSet loaded first,
# and prints Ghostscript's output: the stand-in's log, one line a call or page.
#   run-stub.sh JOB.prn
# Fails on a wrong frame, on a Ghostscript failure, on "Error" in its output,
# and on an ERROR line of the stand-in (a call it was given wrong operands,
# which the job's own stopped would otherwise hide).
set -euo pipefail
job=${1:?usage: run-stub.sh JOB.prn}
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "run-stub: $*" >&2; exit 1; }

uel=$'\e%-12345X'
[ "$(head -c 9 "$job")" = "$uel" ] || fail "the job does not start with the UEL"
enter=$'^@PJL ENTER LANGUAGE = POSTSCRIPT\r\\?$'
[ "$(grep -ac "$enter" "$job")" = 1 ] || fail "not exactly one @PJL ENTER LANGUAGE = POSTSCRIPT line"
end=
for eol in $'\n' $'\r\n'; do
  trailer="$uel@PJL EOJ$eol"
  if cmp -s <(tail -c ${#trailer} "$job") <(printf '%s' "$trailer"); then end=${#trailer}; fi
done
[ -n "$end" ] || fail "the job does not end with the UEL, @PJL EOJ and a line end"

at=$(grep -abo "$enter" "$job" | cut -d: -f1)
line=$(grep -a "$enter" "$job")
if head -c "$at" "$job" | tail -c +10 | grep -aqv '^@PJL'; then
  fail "a line before ENTER LANGUAGE is not a @PJL command"
fi
start=$((at + ${#line} + 1))
size=$(stat -c %s "$job")

ps=$(mktemp)
trap 'rm -f "$ps"' EXIT
tail -c +$((start + 1)) "$job" | head -c $((size - end - start)) >"$ps"
set +e
log=$(gs -q -dNOPAUSE -dBATCH -sDEVICE=nullpage "$here/adeviceprocset.ps" "$ps" 2>&1)
status=$?
set -e
printf '%s\n' "$log"
[ "$status" -eq 0 ] || fail "Ghostscript exited with status $status"
if grep -q 'Error' <<<"$log"; then fail "Ghostscript reported an error"; fi
if grep -q '^ADeviceProcSet ERROR' <<<"$log"; then fail "a procedure was given operands it does not take"; fi
