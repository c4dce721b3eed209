#!/usr/bin/env bash
# With a PAM service: a user outside the print group is refused; one inside
# prints under the name PAM checked, with the authentication block (the
# password as openssl encrypts it). Only an administrator sets password and
# key, others see "(set)"; root alone reads the files that keep them.
#   access.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/lib.sh"

T=axt$$ && pam_users "$T"
app_start "${PAM_SERVER[@]}" && sink_start "$DIR/printer.prn" && add_printer c5200 arvex-c5200 "$SINK_PORT"

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
  local AS="${T}in:pw-in" cipher
  cipher=$(auth_password "$LOGIN" "$KEY" "$PASSWORD")
  : >"$DIR/printer.prn"
  [[ $(job_end c5200 "$(print_file c5200 "$PDF" application/pdf)") == completed* ]] || fail "the insider can't print"
  grep -qxF "@PJL SET HOSTLOGINNAME = \"${T}in\"" "$DIR/printer.prn" || fail "the job isn't the authenticated user's"
  grep -qxF "@PJL SET AUTHENTICATIONPASSWORD = \"$cipher\"" "$DIR/printer.prn" ||
    fail "not openssl's password $cipher: $(grep -a AUTHENTICATIONPASSWORD "$DIR/printer.prn")"
}
printed
kill "${PIDS[0]}" && wait "${PIDS[0]}" && rm -f "/run/$NAME.sock" && app_start "${PAM_SERVER[@]}"
hidden || fail "after a restart: $(ipp c5200 get-printer.test)"
printed  # after a restart
# The sub-commands set no default password: the local socket, which PAPPL
# lets past the authorization callback, would show it in the attributes.
! "$APP" modify -d c5200 -o arvex-login-password-default='N3w-pass!' 2>/dev/null || fail "modify set a password"
printed
echo "PASS: PAM and the print group decide who prints; the password is the administrator's, kept and hidden"
