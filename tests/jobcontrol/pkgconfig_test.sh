#!/bin/sh
# Installs the build as an integrator would. Staged with DESTDIR: the C program builds against the headers and library
# through pkg-config and runs. Under a private prefix (a tree configured for it, given the built filter): the filter
# lands in PREFIX/lib/cups/filter, mode 755, and runs without the build tree.
#   pkgconfig_test.sh BUILD_DIR SOURCE_DIR C_COMPILER [SANITIZERS]
set -eu
build=$1 source=$2 cc=$3 sanitize=${4:-}
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
fail() { echo "pkgconfig_test: $*" >&2; exit 1; }
DESTDIR="$stage" cmake --install "$build" >/dev/null
pc=$(find "$stage" -name arvex-jobcontrol.pc)
lib=$(find "$stage" -name 'libarvex-jobcontrol.so' | head -n1)
[ -n "$pc" ] && [ -n "$lib" ] || fail "library or pkg-config file not installed"
# The installed file's paths, mapped into the stage.
flags=$(PKG_CONFIG_PATH=$(dirname "$pc") PKG_CONFIG_SYSROOT_DIR=$stage pkg-config --cflags --libs arvex-jobcontrol)
# shellcheck disable=SC2086 # lists of words
"$cc" -std=c11 -Wall -Wextra -Werror ${sanitize:+-fsanitize=$sanitize} -o "$stage/c_api_test" \
  "$source/tests/jobcontrol/c_api_test.c" $flags
LD_LIBRARY_PATH=$(dirname "$lib") "$stage/c_api_test" "$source/fixtures/ppd/jobcontrol-colour.ppd"

cmake -S "$source" -B "$stage/tree" -DCMAKE_INSTALL_PREFIX="$stage/prefix" -DARVEX_BUILD_TESTS=OFF \
  -DARVEX_BUILD_BENCHMARKS=OFF >/dev/null
cp "$build/arvex-pdf-filter" "$stage/tree/" && cmake --install "$stage/tree/src/filter" >/dev/null
filter=$stage/prefix/lib/cups/filter/arvex-pdf-filter
[ "$(stat -c %a "$filter")" = 755 ] || fail "no filter of mode 755 in PREFIX/lib/cups/filter"
printf 'pdf' | env -u PPD -u LD_LIBRARY_PATH "$filter" 1 u t 1 "" | grep -q "@PJL EOJ" ||
  fail "the installed filter does not run"
