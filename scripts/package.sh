#!/usr/bin/env bash
# Builds the Debian package of the Linux saver, out/quillon_<version>_amd64.deb: the xscreensaver hack, its
# settings page, desktop entry and man page. Install it with: sudo apt install ./out/quillon_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

QUILLON_SKIP_WIN32=1 scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native --target quillon quillon_man
rm -rf out/_CPack_Packages out/quillon_*.deb
(cd build/native && cpack -G DEB -B "$OLDPWD/out" >/dev/null)
rm -rf out/_CPack_Packages
echo "package: $(ls "$PWD"/out/quillon_*_amd64.deb)"
