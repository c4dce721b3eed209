#!/usr/bin/env bash
# With a PAM service: a user outside the print group is refused; one inside
# prints under the name PAM checked, with the authentication block (the
# password as openssl encrypts it). Only an administrator sets password and
# key, others see "(set)"; root alone reads the files that keep them.
#   access.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/lib.sh"

T=axt$$  # groups, users and PAM service of this run's own
groupadd "${T}p" && groupadd "${T}a" && UNDO+=("groupdel ${T}p" "groupdel ${T}a") || fail "groupadd"
for u in in out adm; do
  useradd -M -N -s /usr/sbin/nologin "$T$u" && UNDO=("userdel $T$u" "${UNDO[@]}") && echo "$T$u:pw-$u" | chpasswd
done
usermod -aG "${T}p" "${T}in" && usermod -aG "${T}a" "${T}adm" || fail "useradd"
printf '%s\n' "auth required pam_unix.so" "account required pam_unix.so" >"/etc/pam.d/$T" && UNDO+=("rm /etc/pam.d/$T")
SERVER=(-o auth-service="$T" -o print-group="${T}p" -o admin-group="${T}a")
app_start "${SERVER[@]}" && sink_start "$DIR/printer.prn" && add_printer c5200 arvex-c5200 "$SINK_PORT"

LOGIN=Kiosk KEY=k3y-0123 PASSWORD='S3cret pass!'
set_auth() { ipp c5200 set-user-auth.test -d name="$LOGIN" -d password="$PASSWORD" -d key="$KEY"; }
! (AS="${T}in:pw-in" set_auth) 2>/dev/null || fail "a user outside the administrators' group set the password"
AS="${T}adm:pw-adm" set_auth >/dev/null
attrs=$(ipptool -tv "$(printer_uri c5200)" "$DATA/get-printer.test") || fail "Get-Printer-Attributes: $attrs"
! grep -F -e "$PASSWORD" -e "$KEY" <<<"$attrs" || fail "the password or key is shown"
hidden() { [ "$(ipp c5200 get-printer.test | sort)" = $'arvex-encryption-key-default = (set)\narvex-login-password-default = (set)' ]; }
hidden || fail "the password isn't shown as set: $(ipp c5200 get-printer.test)"
[ "$(stat -c %a "$DIR"/state/app.state{,.secrets})" = $'600\n600' ] || fail "the state files' modes aren't 600"
! grep -qF "$PASSWORD" "$DIR/state/app.state" || fail "the password stands in the state file"

out=$(AS="${T}out:pw-out" && ipptool -tv -f "$PDF" -d format=application/pdf "$(printer_uri c5200)" \
  "$DATA/print-job.test" 2>&1) && fail "a user outside the print group printed: $out"
grep -qi forbidden <<<"$out" || fail "the outsider's refusal: $out"

printed() {  # a job of the user inside, who claims to be alice; the password under SHA-256 of login name and key
  local AS="${T}in:pw-in" hash cipher
  hash=$(printf '%s%s' "$LOGIN" "$KEY" | openssl dgst -sha256 -binary | od -An -tx1 -v | tr -d ' \n')
  cipher=$(printf '%s' "$PASSWORD" | openssl enc -aes-256-cbc -K "$hash" -iv "${hash:0:32}" | base64 -w0)
  : >"$DIR/printer.prn"
  [[ $(job_end c5200 "$(print_file c5200 "$PDF" application/pdf)") == completed* ]] || fail "the insider can't print"
  grep -qxF "@PJL SET HOSTLOGINNAME = \"${T}in\"" "$DIR/printer.prn" || fail "the job isn't the authenticated user's"
  grep -qxF "@PJL SET AUTHENTICATIONPASSWORD = \"$cipher\"" "$DIR/printer.prn" ||
    fail "not openssl's password $cipher: $(grep -a AUTHENTICATIONPASSWORD "$DIR/printer.prn")"
}
printed
kill "${PIDS[0]}" && wait "${PIDS[0]}" && rm -f "/run/$NAME.sock" && app_start "${SERVER[@]}"
printed  # after a restart
# Over the local socket, which PAPPL lets past the authorization callback, a
# password lands in the attributes: it is moved out within a second.
PASSWORD='N3w-pass!' && "$APP" modify -d c5200 -o arvex-login-password-default="$PASSWORD" && wait_for 3 hidden ||
  fail "a password set over the local socket stays shown: $(ipp c5200 get-printer.test)"
printed
echo "PASS: PAM and the print group decide who prints; the password is the administrator's, kept and hidden"
