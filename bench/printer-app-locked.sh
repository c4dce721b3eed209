#!/usr/bin/env bash
# What locked print costs in the Printer Application, printed as figures:
#  - a job from Print-Job to its end, normal (PDF) and locked (PIN:
#    Ghostscript, the block, PostScript), for the CUPS test page and a
#    20-page document, medians of 5 each, and the difference;
#  - Get-Printer-Attributes (all attributes) with 1 and with 100 printers,
#    medians of 20.
# Root only (the server's sub-commands use /run).
#   bench/printer-app-locked.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/../tests/printer-app/lib.sh"
calc() { awk "BEGIN { printf \"%.3f\", $1 }"; }
median() { printf '%s\n' "$@" | sort -g | sed -n "$((($# + 1) / 2))p"; }
now() { date +%s.%N; }

LOG_LEVEL= app_start && sink_start "$DIR/printer.prn" "SYSTEM:cat >/dev/null" && add_printer bench arvex-c5200 "$SINK_PORT"
cupsfilter -m application/pdf /usr/share/cups/data/testprint >"$DIR/testpage.pdf" 2>/dev/null
for page in $(seq 20); do
  printf '%%%%Page: %d %d\n/Helvetica 24 selectfont 72 700 moveto (Page %d of a longer report) show showpage\n' \
    "$page" "$page" "$page"
done | cat <(printf '%%!PS-Adobe-3.0\n%%%%Pages: 20\n%%%%EndComments\n') - >"$DIR/twenty.ps"
gs -q -sDEVICE=pdfwrite -o "$DIR/twenty.pdf" "$DIR/twenty.ps"

# run DOC PIN: seconds from Print-Job to the job's end (PIN "" for a normal job).
run() {
  local start id
  start=$(now)
  if [ -n "$2" ]; then
    id=$(ipp bench locked-print.test -f "$1" -d pin="$2" -d hold=no-hold -d secrets=none | sed -n 's/^job-id = //p')
  else
    id=$(print_file bench "$1" application/pdf)
  fi
  [[ $(job_end bench "$id") == completed* ]] || fail "job $id: $(job_state bench "$id")"
  calc "$(now) - $start"
}
for doc in testpage twenty; do
  normal=() locked=()
  for _ in 1 2 3 4 5; do normal+=("$(run "$DIR/$doc.pdf" "")") && locked+=("$(run "$DIR/$doc.pdf" 4711)"); done
  n=$(median "${normal[@]}") l=$(median "${locked[@]}")
  echo "$doc ($(pdfinfo "$DIR/$doc.pdf" | sed -n 's/^Pages: *//p') pages), Print-Job to the job's end, median of 5:"
  echo "  normal (PDF)           $n s"
  echo "  locked (PostScript)    $l s"
  echo "  extra for the lock     $(calc "$l - $n") s"
done

attributes() {  # median seconds of 20 Get-Printer-Attributes requests
  local times=() start
  for _ in $(seq 20); do
    start=$(now)
    ipptool -q "$(printer_uri bench)" "$DATA/get-all.test" || fail "Get-Printer-Attributes failed"
    times+=("$(calc "$(now) - $start")")
  done
  median "${times[@]}"
}
one=$(attributes)
for n in $(seq 2 100); do "$APP" add -d "p$n" -v "socket://127.0.0.1:$SINK_PORT" -m arvex-c5200 >/dev/null; done
hundred=$(attributes)
echo "Get-Printer-Attributes (all), median of 20 (ipptool's own start included):"
echo "  1 printer       $one s"
echo "  100 printers    $hundred s"
