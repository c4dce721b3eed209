#!/bin/sh
# Installs the build as an integrator would. Staged with DESTDIR: the C program builds against the headers and library
# through pkg-config and runs. Under a private prefix (a tree configured for it, given the built filters): the filters
# land in PREFIX/lib/cups/filter, mode 755, and run without the build tree.
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
cp "$build/arvex-pdf-filter" "$build/arvex-ps-filter" "$stage/tree/" && cmake --install "$stage/tree/src/filter" >/dev/null
filters=$stage/prefix/lib/cups/filter
for filter in arvex-pdf-filter arvex-ps-filter; do
  [ "$(stat -c %a "$filters/$filter")" = 755 ] || fail "no $filter of mode 755 in PREFIX/lib/cups/filter"
done
printf 'pdf' | env -u PPD -u LD_LIBRARY_PATH "$filters/arvex-pdf-filter" 1 u t 1 "" | grep -q "@PJL EOJ" ||
  fail "the installed PDF filter does not run"
printf '%%!PS\n' | env -u LD_LIBRARY_PATH PPD="$source/fixtures/ppd/jobcontrol-mono.ppd" "$filters/arvex-ps-filter" 1 u t 1 "" |
  grep -q "ENTER LANGUAGE = POSTSCRIPT" || fail "the installed PostScript filter does not run"
