#!/usr/bin/env bash
# Locked-print jobs through cupsfilter and arvex-ps-filter on the C5200's
# PostScript PPD, played by the stand-in printer: the CUPS test page, a
# three-page PDF and, two-up, the PDF and the three-page PostScript document
# (pstops then swaps setpagedevice for {pop}). Each job-control procedure is
# called once before the first page, the job type with the job's identity;
# the output-bin and banner commands reach the printer before the first
# page; the printer prints the pages the document has.
#   whole-jobs.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=${1:?usage: whole-jobs.sh BUILD_DIR SOURCE_DIR} src=${2:?usage: whole-jobs.sh BUILD_DIR SOURCE_DIR}
for tool in gs cupsfilter pdfinfo; do command -v $tool >/dev/null || { echo "SKIPPED: no $tool"; exit 77; }; done
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# cupsfilter runs the filter that the PPD names by absolute path, of mode 755.
install -m 755 "$build/arvex-ps-filter" "$dir/"
sed "s|^\*cupsFilter2: \"\(.*\) arvex-ps-filter\"|*cupsFilter2: \"\1 $dir/arvex-ps-filter\"|" \
  "$build/ppd/arvex/arvex-c5200-ps.ppd" >"$dir/queue.ppd"
locked=(-o AXJobType=LockedPrint -o AXUserId=Custom.alice -o AXPassword=Custom.4711 -o OutputBin=FaceUp
  -o AXBannerPagePrint=True)
# What the printer must log once before the first page (patterns): the PPD's commands for the choices as typed in
# ppd/arvex.drv, the job type with the job's identity.
time='[0-9]{12}' host=$(hostname)
calls=('ADeviceProcSet SetHostInfo HostCharSet=33 DriverType=5' "setuserinfo UserID=alice UserCode= Time=$time"
  "ADeviceProcSet SetJobType JobType=1 UserID=alice Time=$time Password=4711 HostLoginName=bob HostName=${host//./\\.}"
  'setpagedevice OutputType=LOWER' 'setpagedevice BannerPageInputSlot=Auto' 'setpagedevice BannerPageMediaType=Auto'
  'setpagedevice BannerPage=true')

three=$src/fixtures/ps/three-pages.ps
gs -q -sDEVICE=pdfwrite -o "$dir/three.pdf" "$three"
cupsfilter -p "$dir/queue.ppd" -m application/pdf /usr/share/cups/data/testprint >"$dir/testprint.pdf" 2>/dev/null
pages() { pdfinfo "$1" | sed -n 's/^Pages: *//p'; }

# Input, options, the number of sheets the printer prints.
while IFS='|' read -r input options sheets; do
  # shellcheck disable=SC2086 # options: a list of words
  cupsfilter -p "$dir/queue.ppd" -m printer/arvex -e -U bob -t whole-jobs "${locked[@]}" $options \
    "$input" >"$dir/job.prn" 2>"$dir/cupsfilter.log" ||
    fail "${input##*/} $options: cupsfilter failed: $(grep -E '^(ERROR|DEBUG: PID.*(crashed|exited with))' "$dir/cupsfilter.log")"
  log=$("$src/tests/postscript/run-stub.sh" "$dir/job.prn") || fail "${input##*/} $options: the printer refused the job: $log"
  [ "$(grep -c '^PAGE ' <<<"$log")" = "$((sheets))" ] || fail "${input##*/} $options: not $((sheets)) pages: $log"
  calls_logged=$(sed '/^PAGE 1$/,$d' <<<"$log" | grep -E '^(ADeviceProcSet|setuserinfo|setpagedevice) ')
  [ "$(grep -cE '^(ADeviceProcSet|setuserinfo) ' <<<"$log")" = "$(grep -cE '^(ADeviceProcSet|setuserinfo) ' \
    <<<"$calls_logged")" ] || fail "${input##*/} $options: a call after the first page: $log"
  [ -z "$(cut -d' ' -f1-2 <<<"$calls_logged" | grep -v '^setpagedevice' | sort | uniq -d)" ] ||
    fail "${input##*/} $options: a call twice: $log"
  for call in "${calls[@]}"; do
    [ "$(grep -cxE "$call" <<<"$calls_logged")" = 1 ] || fail "${input##*/} $options: not once before page 1: $call"
  done
done <<EOF
/usr/share/cups/data/testprint||$(pages "$dir/testprint.pdf")
$dir/three.pdf||$(pages "$dir/three.pdf")
$dir/three.pdf|-o number-up=2|($(pages "$dir/three.pdf") + 1) / 2
$three|-o number-up=2|($(pages "$dir/three.pdf") + 1) / 2
EOF
echo "PASS: locked jobs of arvex-ps-filter reach the stand-in printer whole, also two-up"
