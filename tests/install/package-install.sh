#!/usr/bin/env bash
# The Debian packages in a throwaway copy of this machine (an overlay of /
# in private mount and network namespaces): a private cupsd lists every
# PPD and takes a queue per PPD, a job reaches a socat printer byte for
# byte, a PIN makes a PostScript job a locked print, and dpkg --purge
# leaves nothing of the packages.
#   package-install.sh --build SOURCE_DIR  build the packages from SOURCE_DIR's tracked files
#   package-install.sh DEB...              install these packages
#   package-install.sh                     take the installed ones (autopkgtest)
# Root only: exits 77 (skipped) otherwise, or without namespaces or overlay.
# The host is never touched; the namespaces vanish with their processes
# (each stopped by its PID), the work directory is removed.
set -euo pipefail
SKIP=77
PACKAGES=(printer-driver-arvex libarvex-jobcontrol0 libarvex-jobcontrol-dev arvex-jobcontrol arvex-printer-app)
MODELS=(c5200:"Arvex C5200" c5000:"Arvex C5000" m4200:"Arvex M4200" m4000:"Arvex M4000"
        c5200-ps:"Arvex C5200 PS" c5000-ps:"Arvex C5000 PS" m4200-ps:"Arvex M4200 PS" m4000-ps:"Arvex M4000 PS")
KEY=Qx7-office-key PASSWORD=s3cret-pw USER_ID=Jürgen
fail() { echo "FAIL: $*" >&2; exit 1; }

# On the host: the packages, the work directory, the namespaces.
host_phase() {
  [ "$(id -u)" -eq 0 ] || { echo "SKIPPED: installing packages needs root"; exit $SKIP; }
  unshare --mount --net true 2>/dev/null || { echo "SKIPPED: no private mount and network namespaces"; exit $SKIP; }
  local here work filter had status=0
  here=$(cd "$(dirname "$0")" && pwd)
  work=$(mktemp -d /tmp/arvex-package-XXXXXX)
  trap 'rm -rf "$work"' EXIT
  mkdir "$work/share"
  filter=/usr/lib/cups/filter/arvex-pdf-filter  # absent before: absent after
  had=$(test -e "$filter" && echo yes || echo no)
  if [ "${1:-}" = --build ]; then
    mkdir "$work/src"
    git -C "$2" ls-files -z | (cd "$2" && tar --null --ignore-failed-read -T - -cf -) | tar -xf - -C "$work/src"
    (cd "$work/src" && DEB_BUILD_OPTIONS="nocheck parallel=$(nproc)" dpkg-buildpackage -us -uc -b) >"$work/build.log" 2>&1 ||
      { tail -n 40 "$work/build.log"; fail "dpkg-buildpackage failed"; }
    set -- "$work"/*_*.deb
    set -- "${@/*-dbgsym_*/}"
  fi
  for deb in "$@"; do [ -z "$deb" ] || cp "$deb" "$work/share/"; done
  cp "$0" "$work/share/package-install.sh"
  cp "$here/c5200-job-head.txt" "$here/../../fixtures/sample.pdf" "$work/share/"
  unshare --mount --net --fork bash "$0" --in-namespace "$work" || status=$?
  [ "$(test -e "$filter" && echo yes || echo no)" = "$had" ] || fail "the host's CUPS filter folder changed"
  [ "$status" -eq 0 ] && echo "PASS: the packages install, print through cupsd and purge without a trace"
  exit "$status"
}

# In the new namespaces: / overlaid by a tmpfs, then chroot into it.
namespace_phase() {
  local work=$1 root=$1/root status=0
  mount --make-rprivate /
  mkdir "$work/layers" "$root"
  mount -t tmpfs tmpfs "$work/layers" && mkdir "$work/layers/upper" "$work/layers/work"
  mount -t overlay overlay -o "lowerdir=/,upperdir=$work/layers/upper,workdir=$work/layers/work" "$root" ||
    { echo "SKIPPED: no overlay of / here"; exit $SKIP; }
  mount -t proc proc "$root/proc"
  mount --rbind /dev "$root/dev"
  mount -t tmpfs tmpfs "$root/tmp"
  mount -t tmpfs tmpfs "$root/run"
  cp -a "$work/share" "$root/tmp/"
  ip link set lo up
  chroot "$root" /bin/bash /tmp/share/package-install.sh --in-root || status=$?
  umount -R "$root" "$work/layers"
  exit "$status"
}

wait_for() {  # wait_for SECONDS COMMAND...: retry the command until it succeeds
  local i limit=$(($1 * 10)); shift
  for ((i = 0; i < limit; i++)); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done; return 1
}

queue_empty() { [ -z "$(lpstat -o "$1")" ]; }

# Inside the throwaway root.
root_phase() {
  local models entry name out files=() f
  export LC_ALL=C LANG=C
  cd /tmp/share
  PIDS=()
  trap 'status=$?; [ $status -eq 0 ] || tail -n 30 /var/log/cups/error_log
    for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done; wait; exit $status' EXIT
  # A scheduler of its own: no queues, jobs or settings of the host.
  rm -rf /etc/cups/printers.conf /etc/cups/classes.conf /etc/cups/subscriptions.conf /var/spool/cups/* /var/cache/cups/*
  mkdir -p /run/cups
  printf '%s\n' "Listen 127.0.0.1:631" "Listen /run/cups/cups.sock" "LogLevel debug" "Browsing No" "WebInterface No" \
    "<Location />" "Order allow,deny" "Allow all" "</Location>" "<Policy default>" "<Limit All>" "Order deny,allow" \
    "</Limit>" "</Policy>" >/etc/cups/cupsd.conf
  cupsd -f &
  PIDS+=($!)
  wait_for 10 lpstat -r || fail "cupsd doesn't start"

  if compgen -G '*.deb' >/dev/null; then
    dpkg -i ./*.deb >dpkg.log 2>&1 || { cat dpkg.log; fail "dpkg -i failed"; }
    grep -q "Updating PPD files for arvex" dpkg.log || { cat dpkg.log; fail "cups did not take the PPD updater"; }
  fi
  dpkg-query -W "${PACKAGES[@]}" >/dev/null || fail "the packages are not installed"
  out=$(cupstestppd -W translations /usr/share/ppd/arvex/*.ppd 2>&1) || fail "cupstestppd rejects the PPDs: $out"
  ! grep -E 'FAIL|WARN' <<<"$out" || fail "cupstestppd warns about the installed PPDs"

  models=$(lpinfo -m)
  grep arvex <<<"$models" || true  # for the log
  socat -u TCP-LISTEN:9100,bind=127.0.0.1,reuseaddr,fork OPEN:/tmp/sink.prn,creat,append &
  PIDS+=($!)
  for entry in "${MODELS[@]}"; do
    name=${entry%%:*}
    grep -q "^lsb/usr/arvex/arvex-$name.ppd ${entry#*:}, " <<<"$models" || fail "lpinfo -m lacks $entry: $models"
    lpadmin -p "$name" -E -v socket://127.0.0.1:9100 -m "lsb/usr/arvex/arvex-$name.ppd" \
      -o printer-error-policy=abort-job 2>lpadmin.log || fail "lpadmin refuses the $name: $(cat lpadmin.log)"
  done
  # User authentication for the queue, login name and password for the job.
  lpadmin -p c5200 -o AXEnableUserAuth=True -o AXAuthEnableEncryption=True -o "AXAuthEncryptionKey=Custom.$KEY"
  lp -d c5200 -t "Install test" -n 2 -o sides=two-sided-long-edge -o AXAuthLoginUserNameType=DefinedUserID \
    -o "AXAuthLoginUserNameText=Custom.$USER_ID" -o "AXAuthLoginPassword=Custom.$PASSWORD" sample.pdf >/dev/null
  wait_for 60 queue_empty c5200 || fail "the job doesn't end: $(lpstat -o c5200)"
  check_job /tmp/sink.prn
  check_locked_job

  while read -r f; do [ -d "$f" ] || files+=("$f"); done < <(dpkg -L "${PACKAGES[@]}")
  dpkg --purge "${PACKAGES[@]}" >dpkg.log 2>&1 || { cat dpkg.log; fail "dpkg --purge failed"; }
  for f in "${files[@]}" /usr/share/ppd/arvex /usr/include/arvex; do [ ! -e "$f" ] || fail "$f is left after the purge"; done
  ! grep arvex <<<"$(dpkg -l)" || fail "dpkg still knows the packages"
  ! grep arvex <<<"$(lpinfo -m)" || fail "lpinfo -m still lists the models"
}

# check_job FILE: the PJL head (the password from openssl, the login name
# from iconv), the PDF unchanged and the trailer, nothing more.
check_job() {
  local job=$1 user hash password n p
  user=$(printf '%s' "$USER_ID" | iconv -f UTF-8 -t ISO-8859-1)
  hash=$(printf '%s%s' "$user" "$KEY" | openssl dgst -sha256 -binary | od -An -tx1 -v | tr -d ' \n')
  password=$(printf '%s' "$PASSWORD" | openssl enc -aes-256-cbc -K "$hash" -iv "${hash:0:32}" | base64 -w0)
  sed -e "s/<ESC>/\x1b/" -e "s/@USER@/$user/g" -e "s|@PASSWORD@|$password|g" c5200-job-head.txt >expected.head
  n=$(stat -c %s expected.head)
  p=$(stat -c %s sample.pdf)
  cmp -s expected.head <(head -c "$n" "$job") ||
    fail "the PJL head differs:$(diff <(cat -v expected.head) <(head -c "$n" "$job" | cat -v))"
  cmp -s sample.pdf <(tail -c +"$((n + 1))" "$job" | head -c "$p") || fail "the PDF bytes changed"
  cmp -s <(printf '\033%%-12345X@PJL EOJ\n') <(tail -c +"$((n + p + 1))" "$job") ||
    fail "the trailer differs: $(tail -c +"$((n + p + 1))" "$job" | cat -v)"
}

# check_locked_job: the installed PostScript filter turns a PIN given as
# job-password into a locked print of the job's user, inside the PJL frame.
check_locked_job() {
  local text
  : >/tmp/sink.prn
  lp -d c5200-ps -o job-password=0471 /usr/share/cups/data/testprint >/dev/null
  wait_for 60 queue_empty c5200-ps || fail "the locked job doesn't end: $(lpstat -o c5200-ps)"
  for text in '@PJL ENTER LANGUAGE = POSTSCRIPT' '/JobType 1' '/UserID (root)' '/Password (0471)' '@PJL EOJ'; do
    grep -aqF "$text" /tmp/sink.prn || fail "the locked job lacks $text: $(head -c 3000 /tmp/sink.prn | cat -v)"
  done
}

case "${1:-}" in
  --in-namespace) namespace_phase "$2" ;;
  --in-root) root_phase ;;
  *) host_phase "$@" ;;
esac
