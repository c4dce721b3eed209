#!/bin/sh
# Installs the build into a staging directory and builds the C program
# against that install the way an integrator would, with pkg-config, then
# runs it.
#
#   pkgconfig_test.sh BUILD_DIR PROGRAM.c FIXTURE.ppd C_COMPILER [SANITIZERS]
#
# DESTDIR keeps every installed file, also those with absolute destinations
# such as the CUPS filter directory, inside the staging directory.
set -eu
build=$1 program=$2 fixture=$3 cc=$4 sanitize=${5:-}

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

DESTDIR="$stage" cmake --install "$build" --prefix /opt/arvex >/dev/null
pc=$(find "$stage" -name arvex-jobcontrol.pc)
if [ -z "$pc" ]; then
  echo "pkgconfig_test: no arvex-jobcontrol.pc was installed" >&2
  exit 1
fi
export PKG_CONFIG_PATH="$(dirname "$pc")"
flags=$(pkg-config --cflags --libs arvex-jobcontrol)
libdir=$(pkg-config --variable=libdir arvex-jobcontrol)
echo "pkg-config: $flags"

extra=
if [ -n "$sanitize" ]; then
  extra="-fsanitize=$sanitize"
fi
# shellcheck disable=SC2086 # the flags are a list of words
"$cc" -std=c11 -Wall -Wextra -Werror $extra -o "$stage/c_api_test" "$program" $flags
LD_LIBRARY_PATH="$libdir" "$stage/c_api_test" "$fixture"
