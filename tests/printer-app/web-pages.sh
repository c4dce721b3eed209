#!/usr/bin/env bash
# The web pages: the vendor attributes' labels in the browser's language.
#   web-pages.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/lib.sh"

T=axw$$ && pam_users "$T"
LOG_LEVEL="-o log-level=info" && app_start "${PAM_SERVER[@]}" && sink_start "$DIR/printer.prn" && add_printer c5200 arvex-c5200 "$SINK_PORT"
WEB="http://127.0.0.1:$APP_PORT/c5200"
page() { curl -fsS -u "${T}adm:pw-adm" "$@"; }  # as an administrator

# Every arvex attribute and keyword of the printer has a label in each language, which the browser's language picks.
ipptool -tv "$(printer_uri c5200)" "$DATA/get-all.test" | python3 -c '
import re, sys, glob
attrs = dict(re.findall(r"^\s*(arvex-[a-z-]+) \([^)]*\) = (.*)$", sys.stdin.read(), re.M))
keys = {n[:-8] for n in attrs if n.endswith("-default")}
keys |= {n[:-10] + "." + k for n, v in attrs.items() if n.endswith("-supported") and "," in v for k in v.split(",")}
for f in glob.glob(sys.argv[1] + "/*.strings"):
    labels = dict(re.findall(r"^\"(.*)\" = \"(.+)\";$", open(f, encoding="utf-8").read(), re.M))
    assert len(keys) > 30 and keys <= labels.keys(), "%s has no label for %s" % (f, keys - labels.keys())
' "$SOURCE_DIR/src/printer-app/strings" || fail "a label is missing"
for labels in "en|Job Type|Locked Print|User ID" "ja|ジョブの種類|機密印刷|ユーザーID" "zh-TW,zh;q=0.8|工作類型|鎖定列印|使用者 ID" \
  "ko-KR,ko;q=0.9|작업 유형|잠금 인쇄|사용자 ID" "de|Job Type|Locked Print|User ID"; do
  IFS='|' read -r language type locked user <<<"$labels"
  html=$(page -H "Accept-Language: $language" "$WEB/printing")
  grep -qF "<th>$type:</th><td><select name=\"arvex-job-type\">" <<<"$html" && grep -qF "value=\"locked\">$locked</option>" <<<"$html" &&
    grep -qF "<th>$user:</th><td><input type=\"text\" name=\"arvex-user-id\"" <<<"$html" || fail "$language: $html"
done
echo "PASS: every vendor attribute and keyword has a label in each language; the browser's language picks them"
