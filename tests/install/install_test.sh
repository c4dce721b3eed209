#!/usr/bin/env bash
# Installs a configured build tree twice, under a prefix and with DESTDIR, and
# checks that the filter, library, headers and pkg-config file land where
# CUPS and compilers look for them, with a filter mode cupsd accepts.
set -euo pipefail
source_dir=$1
work=$(mktemp -d /tmp/arvex-install-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

check_tree() {  # check_tree ROOT FILTER_DIR
  local root=$1 filter=$2
  [ -x "$filter/arvex-pdf-filter" ] || fail "no filter in $filter"
  [ "$(stat -c %a "$filter/arvex-pdf-filter")" = 755 ] || fail "filter mode $(stat -c %a "$filter/arvex-pdf-filter")"
  [ -n "$(find "$root" -name "libarvex-jobcontrol.so*")" ] || fail "no library under $root"
  [ -f "$root/include/arvex/jobinfo.h" ] || fail "no headers under $root/include/arvex"
  local pc
  pc=$(find "$root" -name arvex-jobcontrol.pc | head -n1)
  [ -n "$pc" ] || fail "no pkg-config file under $root"
}

# 1. A private prefix: everything under it, the filter in PREFIX/lib/cups/filter.
cmake -S "$source_dir" -B "$work/build-prefix" -DCMAKE_INSTALL_PREFIX="$work/prefix" \
  -DARVEX_BUILD_TESTS=OFF -DARVEX_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$work/build-prefix" -j2 >/dev/null
cmake --install "$work/build-prefix" >/dev/null
check_tree "$work/prefix" "$work/prefix/lib/cups/filter"
pkgdir=$(dirname "$(find "$work/prefix" -name arvex-jobcontrol.pc | head -n1)")
PKG_CONFIG_PATH=$pkgdir pkg-config --cflags arvex-jobcontrol | grep -q -- "-I$work/prefix/include" ||
  fail "pkg-config cflags do not point at the prefix"
# The installed filter finds the installed library on its own.
printf 'pdf' | env -u PPD -u LD_LIBRARY_PATH "$work/prefix/lib/cups/filter/arvex-pdf-filter" 1 u t 1 "" |
  grep -q "@PJL EOJ" || fail "the installed filter does not run"

# 2. The system prefix staged with DESTDIR: the filter in CUPS's filter directory.
cmake -S "$source_dir" -B "$work/build-usr" -DCMAKE_INSTALL_PREFIX=/usr \
  -DARVEX_BUILD_TESTS=OFF -DARVEX_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$work/build-usr" -j2 >/dev/null
DESTDIR="$work/stage" cmake --install "$work/build-usr" >/dev/null
check_tree "$work/stage/usr" "$work/stage$(cups-config --serverbin)/filter"
echo "install layout ok"
