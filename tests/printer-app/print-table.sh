#!/usr/bin/env bash
# Every job of print-table.txt reaches the printer as arvex-pdf-filter writes
# it with the PPD options of the job's attributes; web pages, identify, test page.
#   print-table.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/lib.sh"

app_start && sink_start "$DIR/printer.prn"
for printer in c5200 c5000 m4200 m4000; do add_printer "$printer" "arvex-$printer" "$SINK_PORT"; done

trim() { sed 's/^ *//; s/ *$//' <<<"$1"; }

# ipptool_attrs GROUP ATTRS: the ATTR lines of "type:name=value; ..." (for
# GROUP printer those of type default-TYPE, named NAME-default; else the rest).
ipptool_attrs() {
  local group=$1 spec type name value
  IFS=';' read -ra specs <<<"$2"
  for spec in "${specs[@]}"; do
    spec=$(trim "$spec") && [ -n "$spec" ] || continue
    type=${spec%%:*} name=${spec#*:} value=${name#*=} && name=${name%%=*} value=${value//\\/\\\\} && value=${value//\"/\\\"}
    case $group:$type in
      printer:default-*) echo "ATTR ${type#default-} $name-default \"$value\"" ;;
      job:default-*) ;;
      job:*) echo "ATTR $type $name \"$value\"" ;;
    esac
  done
}

# request OPERATION GROUP ATTRS: an ipptool test of one request.
request() {
  printf '{\nOPERATION %s\nGROUP operation-attributes-tag\nATTR charset attributes-charset utf-8\n%b\n' "$1" \
    'ATTR naturalLanguage attributes-natural-language en\nATTR uri printer-uri $uri'
  [ "$1" = Print-Job ] && printf 'ATTR name requesting-user-name $jobuser\nATTR name job-name $title\n'
  printf 'GROUP %s-attributes-tag\n' "$2" && ipptool_attrs "$2" "$3"
  [ "$1" = Print-Job ] && printf 'FILE $filename\nDISPLAY job-id\n'
  printf 'STATUS successful-ok\n}\n'
}

rows=0
while IFS='|' read -r printer user title copies attrs options; do
  [[ $printer =~ ^[[:space:]]*(#|$) ]] && continue
  printer=$(trim "$printer") user=$(trim "$user") title=$(trim "$title") copies=$(trim "$copies")
  options=$(trim "$options") attrs=$(trim "$attrs")
  request Set-Printer-Attributes printer "$attrs" >"$DIR/defaults.test"
  grep -q '^ATTR [a-z]* arvex' "$DIR/defaults.test" && ipp "$printer" "$DIR/defaults.test" >/dev/null
  request Print-Job job "$attrs" >"$DIR/job.test" && : >"$DIR/printer.prn"
  id=$(ipp "$printer" "$DIR/job.test" -f "$PDF" -d jobuser="$user" -d title="$title" | sed -n 's/^job-id = //p')
  state=$(job_end "$printer" "$id") && [[ $state == completed* ]] || fail "job '$title' ended $state"
  env PPD="$ARVEX_PPD_DIR/arvex-$printer.ppd" "${FILTER_ENV[@]}" "$BUILD_DIR/arvex-pdf-filter" "$id" "$user" "$title" \
    "$copies" "$options" "$PDF" >"$DIR/expected.prn" 2>/dev/null
  cmp -s "$DIR/expected.prn" "$DIR/printer.prn" || fail "job '$title': the printer didn't get the filter's bytes:
$(diff <(head -c 2000 "$DIR/expected.prn" | cat -v) <(head -c 2000 "$DIR/printer.prn" | cat -v) | head -20)"
  echo "same bytes: $printer, $title" && rows=$((rows + 1))
done <"$DATA/print-table.txt"
[ "$rows" -ge 10 ] || fail "only $rows rows of the table ran"

# Identify shows the message; the test page is the shipped PDF in PJL.
: >"$DIR/printer.prn"
ipp m4200 /usr/share/cups/ipptool/identify-printer-display.test >/dev/null
wait_for 5 grep -q '^@PJL RDYMSG DISPLAY = "Hello, World!"$' "$DIR/printer.prn" || fail "no identify message"
: >"$DIR/printer.prn"
session=$(sed -n 's/.*name="session" value="\([^"]*\)".*/\1/p' < <(curl -fsS "http://127.0.0.1:$APP_PORT/m4200/") | head -1)
curl -fsS -o /dev/null -d "session=$session&action=print-test-page" "http://127.0.0.1:$APP_PORT/m4200/"
wait_for 10 grep -q 'EOJ' "$DIR/printer.prn" || fail "no test page"
pdfs_in "$DIR/printer.prn" >/dev/null && cmp "$DIR/extracted-0.pdf" "$BUILD_DIR/testpage.pdf" || fail "not the test page"
echo "PASS: $rows jobs with the filter's bytes; identify and test page reach the printer"
