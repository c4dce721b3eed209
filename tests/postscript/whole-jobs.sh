#!/usr/bin/env bash
# Locked-print jobs through cupsfilter and arvex-ps-filter, played by the
# stand-in printer: the CUPS test page, a three-page PDF and, two-up, the PDF
# and a three-page PostScript document (pstops then swaps setpagedevice for
# {pop}). Each job-control procedure is called once before the first page,
# the job type with the job's identity; the PPD's output-bin and banner
# commands reach the printer before the first page; the printer counts the
# pages the document has.
#   whole-jobs.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=${1:?usage: whole-jobs.sh BUILD_DIR SOURCE_DIR} src=${2:?usage: whole-jobs.sh BUILD_DIR SOURCE_DIR}
[ -x "$build/arvex-ps-filter" ] || { echo "SKIPPED: no $build/arvex-ps-filter"; exit 77; }
for tool in gs cupsfilter pdfinfo; do command -v $tool >/dev/null || { echo "SKIPPED: no $tool"; exit 77; }; done
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The build's C5200 PostScript PPD, else a small one of the fixtures; cupsfilter
# runs the filter that the PPD names by absolute path, of mode 755.
ppd=$build/ppd/arvex/arvex-c5200-ps.ppd
[ -f "$ppd" ] || ppd=$src/fixtures/ppd/ps-locked.ppd
cp "$build/arvex-ps-filter" "$dir/" && chmod 755 "$dir/arvex-ps-filter"
sed "s|^\*cupsFilter2: \"\(.*\) arvex-ps-filter\"|*cupsFilter2: \"\1 $dir/arvex-ps-filter\"|" "$ppd" >"$dir/queue.ppd"
grep -q "$dir/arvex-ps-filter" "$dir/queue.ppd" || fail "no cupsFilter2 line for arvex-ps-filter in $ppd"
bin=$(sed -n 's/^\*AXCMDOutputBin\([A-Za-z0-9]*\):.*/\1/p' "$ppd" | tail -n1)  # the last bin with a command
locked=(-o AXJobType=LockedPrint -o AXUserId=Custom.alice -o AXPassword=Custom.4711 -o "OutputBin=$bin"
  -o AXBannerPagePrint=True)

# The calls the printer must get once (patterns), and the commands of the
# PPD's AXCMD attributes for the job's choices as the printer logs them.
time='[0-9]{12}' host=$(hostname)
calls=('ADeviceProcSet SetHostInfo HostCharSet=33 DriverType=5' "setuserinfo UserID=alice UserCode= Time=$time"
  "ADeviceProcSet SetJobType JobType=1 UserID=alice Time=$time Password=4711 HostLoginName=bob HostName=${host//./\\.}")
devices=()
for attr in "OutputBin$bin" AXBannerPageInputSlotAuto AXBannerPageMediaTypeAuto AXBannerPagePrintTrue; do
  devices+=("$(sed -nE "s/^\*AXCMD$attr: \"<< *\/([A-Za-z]+) *\(?([^()>]*)\)? *>> *setpagedevice\"$/setpagedevice \1=\2/p" "$ppd")")
  [ -n "${devices[-1]}" ] || fail "no AXCMD$attr command of the form <</Key value>> setpagedevice in $ppd"
done

printf '%s\n' '%!PS-Adobe-3.0' '%%Pages: 3' '%%EndComments' '%%BeginProlog' '%%EndProlog' >"$dir/three.ps"
for page in 1 2 3; do
  printf '%%%%Page: %d %d\n/Helvetica 48 selectfont 72 720 moveto (Page %d) show showpage\n' $page $page $page
done >>"$dir/three.ps"
printf '%%%%EOF\n' >>"$dir/three.ps"
gs -q -sDEVICE=pdfwrite -o "$dir/three.pdf" "$dir/three.ps"
cupsfilter -p "$dir/queue.ppd" -m application/pdf /usr/share/cups/data/testprint >"$dir/testprint.pdf" 2>/dev/null
pages() { pdfinfo "$1" | sed -n 's/^Pages: *//p'; }
three=$(pages "$dir/three.pdf") testprint=$(pages "$dir/testprint.pdf")

before_first() {  # GREP-OPTIONS... PATTERN: one line of the log matches, before the first page
  local at
  at=$(grep -n "$@" <<<"$log" | cut -d: -f1)
  [[ $at =~ ^[0-9]+$ ]] && ((at < first))
}

# Input, options, the number of sheets the printer prints.
while IFS='|' read -r input options sheets; do
  # shellcheck disable=SC2086 # options: a list of words
  cupsfilter -p "$dir/queue.ppd" -m printer/arvex -e -U bob -t whole-jobs "${locked[@]}" $options \
    "$input" >"$dir/job.prn" 2>"$dir/cupsfilter.log" ||
    fail "${input##*/} $options: cupsfilter failed: $(grep -E '^(ERROR|DEBUG: PID.*(crashed|exited with))' "$dir/cupsfilter.log")"
  log=$("$src/tests/postscript/run-stub.sh" "$dir/job.prn") || fail "${input##*/} $options: the printer refused the job: $log"
  [ "$(grep -c '^PAGE ' <<<"$log")" = "$((sheets))" ] || fail "${input##*/} $options: not $((sheets)) pages: $log"
  first=$(grep -nx -m1 'PAGE 1' <<<"$log" | cut -d: -f1)
  seen=$(grep -nE '^(ADeviceProcSet|setuserinfo) ' <<<"$log")  # each procedure once, all before the first page
  if [ -n "$(sed -E 's/^[0-9]+:(setuserinfo|ADeviceProcSet [A-Za-z]+).*/\1/' <<<"$seen" | sort | uniq -d)" ] ||
    (($(tail -n1 <<<"$seen" | cut -d: -f1) > first)); then fail "${input##*/} $options: calls: $log"; fi
  for call in "${calls[@]}"; do
    before_first -xE "$call" || fail "${input##*/} $options: not once before the first page: $call"
  done
  for line in "${devices[@]}"; do
    before_first -m1 -xF "$line" || fail "${input##*/} $options: not before the first page: $line"
  done
done <<EOF
/usr/share/cups/data/testprint||$testprint
$dir/three.pdf||$three
$dir/three.pdf|-o number-up=2|($three + 1) / 2
$dir/three.ps|-o number-up=2|($three + 1) / 2
EOF
echo "PASS: locked jobs of arvex-ps-filter reach the stand-in printer whole, also two-up"
