#!/usr/bin/env bash
# Who may print, with a PAM service: a user outside the print group is
# refused, one inside prints under the name PAM checked, with the printer's
# authentication block (the password as openssl encrypts it). Only an
# administrator sets the password and key; others see "(set)", in every
# attribute; the files that hold them are root's alone and keep them over
# a restart.
#   access.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/lib.sh"

# Groups, users and a PAM service of this run's own, removed at the end.
T=axt$$
groupadd "${T}p" && groupadd "${T}a" && UNDO+=("groupdel ${T}p" "groupdel ${T}a") || fail "groupadd"
for u in in out adm; do
  useradd -M -N -s /usr/sbin/nologin "$T$u" && UNDO=("userdel $T$u" "${UNDO[@]}") || fail "useradd"
  echo "$T$u:pw-$u" | chpasswd
done
usermod -aG "${T}p" "${T}in" && usermod -aG "${T}a" "${T}adm"
printf '%s\n' "auth required pam_unix.so" "account required pam_unix.so" >"/etc/pam.d/$T" && UNDO+=("rm /etc/pam.d/$T")

app_start -o auth-service="$T" -o print-group="${T}p" -o admin-group="${T}a"
sink_start "$DIR/printer.prn"
add_printer c5200 arvex-c5200 "$SINK_PORT"
LOGIN=Kiosk KEY=k3y-0123 PASSWORD='S3cret pass!'
set_auth() { ipp c5200 set-user-auth.test -d name="$LOGIN" -d password="$PASSWORD" -d key="$KEY"; }
! (AS="${T}in:pw-in" set_auth) 2>/dev/null || fail "a user outside the administrators' group set the password"
AS="${T}adm:pw-adm" set_auth >/dev/null

attrs=$(ipptool -tv "$(printer_uri c5200)" "$DATA/get-printer.test") || fail "Get-Printer-Attributes: $attrs"
! grep -qF -e "$PASSWORD" -e "$KEY" <<<"$attrs" || fail "the password or key is shown: $(grep -F -e "$PASSWORD" -e "$KEY" <<<"$attrs")"
[ "$(ipp c5200 get-printer.test)" = $'arvex-login-password-default = (set)\narvex-encryption-key-default = (set)' ] ||
  fail "the password isn't shown as set: $(ipp c5200 get-printer.test)"

for f in app.state app.state.secrets; do
  [ "$(stat -c %a "$DIR/state/$f")" = 600 ] || fail "$f has mode $(stat -c %a "$DIR/state/$f")"
done
! grep -qF "$PASSWORD" "$DIR/state/app.state" || fail "the password stands in the state file"

out=$(AS="${T}out:pw-out" && ipptool -tv -f "$PDF" -d format=application/pdf "$(printer_uri c5200)" \
  "$DATA/print-job.test" 2>&1) && fail "a user outside the print group printed: $out"
grep -qi forbidden <<<"$out" || fail "the outsider's refusal: $out"

# The expected block: the password under SHA-256 of login name and key.
hash=$(printf '%s%s' "$LOGIN" "$KEY" | openssl dgst -sha256 -binary | od -An -tx1 -v | tr -d ' \n')
cipher=$(printf '%s' "$PASSWORD" | openssl enc -aes-256-cbc -K "$hash" -iv "${hash:0:32}" | base64 -w0)
printed() {  # the job of the user inside, claiming to be alice, as the printer got it
  local AS="${T}in:pw-in"
  : >"$DIR/printer.prn"
  [[ $(job_end c5200 "$(print_file c5200 "$PDF" application/pdf)") == completed* ]] ||
    fail "the user inside the print group can't print"
  grep -qxF "@PJL SET HOSTLOGINNAME = \"${T}in\"" "$DIR/printer.prn" || fail "the job isn't the authenticated user's"
  grep -qxF "@PJL SET AUTHENTICATIONPASSWORD = \"$cipher\"" "$DIR/printer.prn" ||
    fail "the password isn't openssl's $cipher: $(grep -a AUTHENTICATIONPASSWORD "$DIR/printer.prn")"
}
printed
kill "${PIDS[0]}" && wait "${PIDS[0]}" && rm -f "/run/$NAME.sock"
app_start -o auth-service="$T" -o print-group="${T}p" -o admin-group="${T}a"
printed
echo "PASS: PAM and the print group decide who prints; the password is the administrator's, kept and hidden"
