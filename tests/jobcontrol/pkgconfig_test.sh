#!/bin/sh
# Builds the C program against a staged install (DESTDIR) with pkg-config, as an integrator would, and runs it.
#   pkgconfig_test.sh BUILD_DIR PROGRAM.c FIXTURE.ppd C_COMPILER [SANITIZERS]
set -eu
build=$1 program=$2 fixture=$3 cc=$4 sanitize=${5:-}
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR="$stage" cmake --install "$build" >/dev/null
pc=$(find "$stage" -name arvex-jobcontrol.pc)
lib=$(find "$stage" -name 'libarvex-jobcontrol.so' | head -n1)
[ -n "$pc" ] && [ -n "$lib" ] || { echo "pkgconfig_test: library or pkg-config file not installed" >&2; exit 1; }
# The installed file's paths, mapped into the stage.
flags=$(PKG_CONFIG_PATH=$(dirname "$pc") PKG_CONFIG_SYSROOT_DIR=$stage pkg-config --cflags --libs arvex-jobcontrol)
# shellcheck disable=SC2086 # lists of words
"$cc" -std=c11 -Wall -Wextra -Werror ${sanitize:+-fsanitize=$sanitize} -o "$stage/c_api_test" "$program" $flags
LD_LIBRARY_PATH=$(dirname "$lib") "$stage/c_api_test" "$fixture"
