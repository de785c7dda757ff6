#!/usr/bin/env bash
# build-packages.sh BUILD_DIR OUT: makes the Debian package and the archive from this build with
# cpack, into OUT (scripts/package makes the same from a clean build of its own).
set -euo pipefail
build=$1
out=$2
rm -rf -- "$out"
mkdir -p -- "$out"
if ! cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1; then
    cat -- "$out/cpack.log" >&2
    exit 1
fi
rm -rf -- "$out/_CPack_Packages"
ls -l -- "$out"
