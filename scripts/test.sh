#!/usr/bin/env bash
# Builds everything and runs every test: the native suite (OSMesa, Xvfb), then the Windows suite
# under Wine. Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native -j2

scripts/test-win32.sh
