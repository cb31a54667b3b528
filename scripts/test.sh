#!/usr/bin/env bash
# Builds everything and runs every test: the native suite (OSMesa, Xvfb), the Debian package (built twice with
# dpkg-buildpackage, compared, checked with lintian), the native suite under AddressSanitizer (with leak checking)
# and UBSan, a minute of each fuzz target, then the Windows suite under Wine. Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS

scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native -j2

tests/package/package_test.sh

cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan -j2

scripts/fuzz.sh 60

scripts/test-win32.sh
echo "test: all passed in $(((SECONDS - start) / 60)) min $(((SECONDS - start) % 60)) s"
