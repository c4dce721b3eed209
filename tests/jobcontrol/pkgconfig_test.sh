#!/bin/sh
# Installs the build into a staging directory and builds the C program
# against that install the way an integrator would, with pkg-config, then
# runs it.
#
#   pkgconfig_test.sh BUILD_DIR PROGRAM.c FIXTURE.ppd C_COMPILER [SANITIZERS]
#
# The install is staged with DESTDIR, so that nothing lands outside the
# staging directory, whatever prefix and filter directory the build was
# configured with; PKG_CONFIG_SYSROOT_DIR maps the installed pkg-config
# file's paths into the stage, as for any staged install.
set -eu
build=$1 program=$2 fixture=$3 cc=$4 sanitize=${5:-}

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

DESTDIR="$stage" cmake --install "$build" >/dev/null
pc=$(find "$stage" -name arvex-jobcontrol.pc)
lib=$(find "$stage" -name 'libarvex-jobcontrol.so' | head -n1)
if [ -z "$pc" ] || [ -z "$lib" ]; then
  echo "pkgconfig_test: the library or its pkg-config file was not installed" >&2
  exit 1
fi
PKG_CONFIG_PATH=$(dirname "$pc")
PKG_CONFIG_SYSROOT_DIR=$stage
export PKG_CONFIG_PATH PKG_CONFIG_SYSROOT_DIR
flags=$(pkg-config --cflags --libs arvex-jobcontrol)
echo "pkg-config: $flags"

extra=
if [ -n "$sanitize" ]; then
  extra="-fsanitize=$sanitize"
fi
# shellcheck disable=SC2086 # the flags are a list of words
"$cc" -std=c11 -Wall -Wextra -Werror $extra -o "$stage/c_api_test" "$program" $flags
LD_LIBRARY_PATH=$(dirname "$lib") "$stage/c_api_test" "$fixture"
