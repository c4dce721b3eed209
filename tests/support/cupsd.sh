# A private cupsd for the tests, on 127.0.0.1:CUPS_PORT and DIR/cups.sock
# (exported as CUPS_SERVER), with the system's backends named; filters go in
# DIR/serverbin/filter (root's, mode 755). Uses the caller's free_port and
# wait_for; appends its PID to PIDS.
#   source cupsd.sh; cupsd_start DIR BACKEND...
cupsd_start() {
  local dir=$1 b; shift
  CUPS_PORT=$(free_port)
  export CUPS_SERVER="$dir/cups.sock"
  mkdir -p "$dir"/{cache,state,spool/tmp,log,serverbin/backend,serverbin/filter}
  ln -s /usr/lib/cups/daemon "$dir/serverbin/daemon"
  for b in "$@"; do ln -s "/usr/lib/cups/backend/$b" "$dir/serverbin/backend/$b"; done
  chown root:lp "$dir/spool" "$dir/spool/tmp" "$dir/cache" "$dir/state"
  chmod 710 "$dir/spool" && chmod 1770 "$dir/spool/tmp" && chmod 770 "$dir/cache" "$dir/state"
  chmod 755 "$dir" "$dir/serverbin" "$dir/serverbin/backend" "$dir/serverbin/filter"
  {
    echo "User lp"; echo "Group lp"; echo "SystemGroup root"; echo "ServerRoot $dir"; echo "ServerBin $dir/serverbin"
    for d in CacheDir:cache StateDir:state RequestRoot:spool TempDir:spool/tmp ErrorLog:log/error_log \
      AccessLog:log/access_log PageLog:log/page_log Printcap:printcap; do echo "${d%%:*} $dir/${d#*:}"; done
  } >"$dir/cups-files.conf"
  printf '%s\n' "Listen 127.0.0.1:$CUPS_PORT" "Listen $dir/cups.sock" "LogLevel debug" "MaxLogSize 0" "Browsing No" \
    "WebInterface No" "DefaultAuthType None" "<Location />" "Order allow,deny" "Allow all" "</Location>" \
    "<Policy default>" "<Limit All>" "Order deny,allow" "</Limit>" "</Policy>" >"$dir/cupsd.conf"
  cupsd -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" &
  PIDS+=($!)
  wait_for 10 lpstat -r
}
