#!/usr/bin/env bash
# The Debian packages built and tested on Debian 13 "trixie": a throwaway
# trixie chroot (mmdebstrap, signatures checked with the host's
# debian-archive-keyring) builds them from this tree's tracked files, checks
# that their Depends name trixie's libraries (libcups2t64, libpappl1t64),
# runs tests/install/package-install.sh on them and lintian, and sums up.
#   scripts/debian13-check.sh [SOURCE_DIR]   (default: this tree)
#   KEEP=1 keeps the chroot; MIRROR=URL picks the Debian mirror.
# Root only: exits 77 (skipped) otherwise, or when mmdebstrap or the mirror
# is out of reach. Nothing is cached outside the temporary directory; every
# mount lives in a private mount namespace and goes with it. The host only
# gains the mmdebstrap package if it lacked it.
set -euo pipefail
SKIP=77
SUITE=trixie
MIRROR=${MIRROR:-http://deb.debian.org/debian}
KEYRING=/usr/share/keyrings/debian-archive-keyring.gpg
# What package-install.sh runs inside the chroot, beyond the build
# dependencies (which bring the runtime libraries) and Essential packages;
# ghostscript because arvex-printer-app depends on it and dpkg -i does not
# resolve dependencies.
RUN_PACKAGES=(cups cups-client socat openssl iproute2 mount ghostscript lintian)
skip() { echo "SKIPPED: $*"; exit $SKIP; }
fail() { echo "FAIL: $*" >&2; exit 1; }

# The package names of the build dependencies of debian/control, first
# alternative (as Debian's build daemons resolve them), without versions,
# architecture lists or qualifiers; dpkg-checkbuilddeps checks the rest.
build_deps() {
  awk '/^Build-Depends(-Arch|-Indep)?:/ { f = 1; sub(/^[^:]*:/, ""); print; next }
       f && /^[ \t]/ { print; next } { f = 0 }' "$1" |
    tr ',' '\n' | sed -e 's/|.*//' -e 's/[([<].*//' -e 's/:.*//' -e 's/[[:space:]]//g' | grep -v '^$'
}

host_phase() {
  [ "$(id -u)" -eq 0 ] || skip "building a chroot needs root"
  local src=${1:-$(cd "$(dirname "$0")/.." && pwd)} start=$SECONDS tmp root status=0 include
  [ -f "$src/debian/control" ] || fail "$src has no debian/control"
  # shellcheck source=deps.sh
  source "$(dirname "$0")/deps.sh"
  command -v mmdebstrap >/dev/null || ensure_packages mmdebstrap || skip "mmdebstrap is missing and cannot be installed"
  unshare --mount --pid --fork true 2>/dev/null || skip "no private mount and PID namespaces"

  tmp=$(mktemp -d /tmp/arvex-trixie-XXXXXX)
  root=$tmp/root
  # shellcheck disable=SC2064  # tmp is local: expanded now
  trap "cleanup '$tmp'" EXIT
  # apt's own downloader and gpgv: the same check apt makes of the suite.
  /usr/lib/apt/apt-helper download-file "$MIRROR/dists/$SUITE/InRelease" "$tmp/InRelease" >/dev/null 2>&1 ||
    skip "$MIRROR/dists/$SUITE/InRelease is out of reach"
  gpgv --keyring "$KEYRING" "$tmp/InRelease" >"$tmp/gpgv.log" 2>&1 ||
    skip "$KEYRING does not verify $SUITE's Release file; install a debian-archive-keyring from Debian that carries the $SUITE keys (Debian 12's updates do). gpgv said: $(cat "$tmp/gpgv.log")"
  echo "== $SUITE's Release is signed by: $(sed -n 's/.*Good signature from "\(.*\)"/\1/p' "$tmp/gpgv.log" | paste -sd ';')"

  include=$(build_deps "$src/debian/control" | paste -sd, -),$(IFS=,; echo "${RUN_PACKAGES[*]}")
  echo "== mmdebstrap $SUITE (buildd variant) + $include"
  # In a mount namespace of its own: mounts mmdebstrap leaves behind on an
  # error die with it.
  unshare --mount --fork mmdebstrap --mode=root --variant=buildd --keyring="$KEYRING" \
    --aptopt='Acquire::Languages "none"' --include="$include" "$SUITE" "$root" "$MIRROR" >"$tmp/mmdebstrap.log" 2>&1 ||
    { tail -n 40 "$tmp/mmdebstrap.log"; fail "mmdebstrap could not build the $SUITE chroot (a build dependency missing from $SUITE?)"; }

  mkdir "$root/build" "$root/build/src"
  git -C "$src" ls-files -z | (cd "$src" && tar --null --ignore-failed-read -T - -cf -) | tar -xf - -C "$root/build/src"
  unshare --mount --pid --fork --kill-child bash "$0" --in-namespace "$root" || status=$?
  [ "$status" -eq 0 ] || fail "the $SUITE check failed (exit $status)"
  summary "$root/build" $((SECONDS - start))
}

# cleanup TMP: remove the work directory unless KEEP=1, never across a
# mount (there should be none outside the namespaces).
cleanup() {
  local tmp=$1
  if [ "${KEEP:-0}" = 1 ]; then echo "KEEP=1: the $SUITE chroot is kept in $tmp/root"; return; fi
  if awk -v d="$tmp" 'index($5, d) == 1 { found = 1 } END { exit !found }' /proc/self/mountinfo; then
    echo "WARNING: something is still mounted under $tmp; it is left in place" >&2
    return
  fi
  rm -rf --one-file-system "$tmp"
}

# In private mount and PID namespaces: the chroot's own /proc, the host's
# /dev, fresh /sys, /run and /tmp; everything goes when the namespaces end,
# and the trap unmounts it even before.
namespace_phase() {
  local root=$1
  mount --make-rprivate /
  mount --bind "$root" "$root"  # a mount point, as package-install.sh expects of /
  # shellcheck disable=SC2064  # root is local: expanded now
  trap "umount -R '$root' 2>/dev/null || umount -R -l '$root'" EXIT
  mount -t proc proc "$root/proc"
  mount -t sysfs sysfs "$root/sys"
  mount --rbind /dev "$root/dev"
  mount -t tmpfs tmpfs "$root/run"
  mount -t tmpfs tmpfs "$root/tmp"
  chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 TERM=dumb \
    NPROC="$(nproc)" /bin/bash -c "$(declare -f fail root_phase); root_phase"
}

# Inside the chroot: build, check the dependencies, test, lint. Results go
# to /build for the summary.
root_phase() {
  set -euo pipefail
  local deb deps debs=()
  cd /build
  { dpkg-query -W -f '${Package} ${Version}\n' cups libcups2t64 libpappl1t64 ghostscript debhelper lintian
    g++ --version | head -n 1; } >versions.txt
  (cd src && dpkg-checkbuilddeps) || fail "the build dependencies are not met on trixie"
  echo "== dpkg-buildpackage -us -uc -b (log: /build/build.log)"
  (cd src && DEB_BUILD_OPTIONS="nocheck parallel=$NPROC" dpkg-buildpackage -us -uc -b) >build.log 2>&1 ||
    { tail -n 60 build.log; fail "dpkg-buildpackage failed"; }
  grep -E 'warning:' build.log | sort -u >warnings.txt || true

  : >depends.txt
  for deb in *.deb; do
    case $deb in *-dbgsym_*) continue ;; esac
    debs+=("/build/$deb")
    deps=$(dpkg-deb -f "$deb" Depends)
    echo "${deb%%_*}: $deps" >>depends.txt
    # Debian 13 renamed these libraries (64-bit time_t); the old names mean
    # the shared-library dependencies came from somewhere else.
    ! grep -Eq '(^|, )(libcups2|libpappl1)( |,|$)' <<<"$deps" || fail "$deb depends on a pre-trixie library name: $deps"
  done
  grep -q 'libcups2t64' depends.txt || fail "no package depends on libcups2t64: $(cat depends.txt)"
  grep -q 'libpappl1t64' depends.txt || fail "no package depends on libpappl1t64: $(cat depends.txt)"

  echo "== tests/install/package-install.sh (log: /build/install.log)"
  bash src/tests/install/package-install.sh "${debs[@]}" >install.log 2>&1 ||
    { tail -n 60 install.log; fail "the package install test failed on trixie"; }

  echo "== lintian"
  lintian --fail-on error --display-info ./*.changes >lintian.txt 2>&1 || { cat lintian.txt; fail "lintian reports errors"; }
}

# summary DIR SECONDS
summary() {
  local dir=$1 f
  echo
  echo "===== Debian 13 ($SUITE) check ====="
  echo "Versions:"; sed 's/^/  /' "$dir/versions.txt"
  echo "Packages built:"
  for f in "$dir"/*.deb; do printf '  %-55s %6s KiB\n' "${f##*/}" $(( ($(stat -c %s "$f") + 1023) / 1024 )); done
  echo "Depends:"; sed 's/^/  /' "$dir/depends.txt"
  if [ -s "$dir/warnings.txt" ]; then echo "Build warnings:"; sed 's/^/  /' "$dir/warnings.txt"
  else echo "Build warnings: none"; fi
  echo "Install test:"; grep '^PASS' "$dir/install.log" | sed 's/^/  /'
  echo "lintian: $(grep -c '^E: ' "$dir/lintian.txt" || true) errors, $(grep -c '^W: ' "$dir/lintian.txt" || true) warnings, $(grep -c '^I: ' "$dir/lintian.txt" || true) info"
  grep -E '^[EWI]: ' "$dir/lintian.txt" | sed 's/^/  /' || true
  echo "Total time: $(($2 / 60)) min $(($2 % 60)) s"
}

case "${1:-}" in
  --in-namespace) namespace_phase "$2" ;;
  *) host_phase "$@" ;;
esac
