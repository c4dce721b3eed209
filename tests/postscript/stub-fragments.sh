#!/usr/bin/env bash
# The stand-in printer takes each golden fragment, in the setup of a
# three-page DSC document behind the host information and the procedure
# definitions: each call logged once, with the fragment's values, before the
# first page, and all three pages counted although the setup then swaps
# setpagedevice for {pop} as an N-up job does. A wrong operand is refused.
#   stub-fragments.sh SOURCE_DIR
set -euo pipefail
src=${1:?usage: stub-fragments.sh SOURCE_DIR}
command -v gs >/dev/null || { echo "SKIPPED: no Ghostscript"; exit 77; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cp "$src"/fixtures/golden/*.ps "$dir"
sed 's|^>> /ADeviceProcSet|>> pop 1 /ADeviceProcSet|' "$dir/locked-print.ps" >"$dir/integer-job-type.ps"

job() {  # FRAGMENT: the document with the fragment, in a PJL frame
  printf '\e%%-12345X@PJL JOB NAME="fragments"\n@PJL ENTER LANGUAGE = POSTSCRIPT\n'
  printf '%s\n' '%!PS-Adobe-3.0' '%%Pages: 3' '%%EndComments' '%%BeginProlog' \
    '/drawpage { newpath 72 72 moveto 520 770 lineto stroke } bind def' '%%EndProlog' '%%BeginSetup'
  cat "$dir/host-information.ps" "$dir/procedure-definitions.ps" "$dir/$1.ps"
  printf '%s\n' 'userdict/CUPSsetpagedevice/setpagedevice load put userdict/setpagedevice{pop}bind put' \
    '<</PageSize [595 842]>> CUPSsetpagedevice' '%%EndSetup'
  for page in 1 2 3; do printf '%%%%Page: %d %d\n/pagesave save def drawpage showpage pagesave restore\n' $page $page; done
  printf '%%%%Trailer\n%%%%EOF\n\e%%-12345X@PJL EOJ\n'
}

# Fragment, then the lines its calls log (typed from the golden text); a
# fragment marked ! must be refused with that line in the log.
while IFS='|' read -r fragment lines; do
  job "${fragment#!}" >"$dir/job.prn"
  if [[ $fragment == !* ]]; then
    if log=$("$src/tests/postscript/run-stub.sh" "$dir/job.prn" 2>&1); then fail "$fragment: accepted"; fi
    grep -qxF "$lines" <<<"$log" || fail "$fragment: no '$lines' in: $log"
    continue
  fi
  log=$("$src/tests/postscript/run-stub.sh" "$dir/job.prn") || fail "$fragment: refused: $log"
  diff <(printf '%s\n' 'ADeviceProcSet SetHostInfo HostCharSet=33 DriverType=5' "${lines//|/$'\n'}" \
    'PAGE 1' 'PAGE 2' 'PAGE 3') <(printf '%s\n' "$log") || fail "$fragment: not the log expected"
done <<'EOF'
locked-print|setuserinfo UserID=u042 UserCode=4711 Time=YYYYMMDDhhmm|ADeviceProcSet SetJobType JobType=1 UserID=u042 Time=YYYYMMDDhhmm Password=2468 HostLoginName=alice HostName=HOST
document-server|setuserinfo UserID=u042 UserCode=4711 Time=YYYYMMDDhhmm|ADeviceProcSet SetJobType JobType=4 UserID=u042 Time=YYYYMMDDhhmm Password=2468 JobID=Minutes HostLoginName=alice HostName=HOST FolderNumber=17 FolderPassword=9753
hold-print-reserved|setuserinfo UserID=u042 UserCode=4711 Time=YYYYMMDDhhmm|ADeviceProcSet SetJobType JobType=3 UserID=u042 Time=YYYYMMDDhhmm JobID=Minutes HostLoginName=alice HostName=HOST PrintReservedTime=2230 Save=0
synchro-cut|ADeviceProcSet SetSynchroCut Enable=true Top=12 Bottom=0 Left=-7 Right=33 CornerLock=2 Leading=1
colour-balance|ADeviceProcSet SetColorBalance Brightness=1 Contrast=3 Cyan=3 Magenta=-2 Yellow=-3 Black=0
copy-guard|ADeviceProcSet SetMarkingType MarkingType=1 StringEffect=1 FontName=A%%B%d FontSize=48 String=AB StringPosition=3 StringAngle=45 StringLoopInterval=60 StringLoopToggle=false
prevention-copy-pattern|ADeviceProcSet SetMarkingType MarkingType=2 MarkingColor=0 MarkingDensity=3 MaskPattern=0 StringEffect=0 FontName=ArialMT FontSize=70 String=COPY StringPosition=3 StringAngle=30 StringLoopAttributes=null
background-numbering|ADeviceProcSet SetSecurityNumbering Enable=true FontSize=2 Density=3 Color=4 InitialNumber=12
colour-output-bin|setpagedevice OutputType=Default
colour-banner-pages|setpagedevice BannerSlot=0|setpagedevice BannerMedia=Auto|setpagedevice BannerPage=false
!integer-job-type|ADeviceProcSet ERROR SetJobType operand
EOF

echo "PASS: the stand-in printer takes the golden fragments and refuses faults"
