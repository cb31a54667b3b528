#!/usr/bin/env bash
# The main job: builds Quillon and shows the kaleidoscope. With a working X display it opens the saver
# in a window (Escape or q closes it); without one it renders a short preview into out/ and says where.
# Installs what it needs first. Extra arguments go to quillon-render (e.g. --seed 7 --no-mirrors).
set -euo pipefail
cd "$(dirname "$0")/.."

QUILLON_SKIP_WIN32=1 scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native --target quillon-render $( [ -f host/x11/CMakeLists.txt ] && echo quillon )

saver=build/native/host/x11/quillon
if [ -n "${DISPLAY:-}" ] && [ -x "$saver" ] && xdpyinfo >/dev/null 2>&1; then
  echo "demo: opening the kaleidoscope on $DISPLAY (keys: M mirrors, S glow, 0-9 wedges, arrows; Escape closes)"
  exec "$saver" --window
fi

mkdir -p out/frames
render=build/native/tools/quillon-render
echo "demo: no X display here; rendering a preview instead"
"$render" --size 640x480 --seconds 6 --out out/preview.png "$@" >/dev/null
"$render" --size 320x240 --seconds 24 --sheet 3x2 --key 170:54 --out out/sheet.png --quiet "$@" >/dev/null
"$render" --size 320x240 --seconds 8 --every 3 --out out/frames/frame.png --quiet "$@" >/dev/null
if command -v convert >/dev/null; then
  convert -delay 12 -loop 0 out/frames/frame-*.png out/preview.gif
fi
rm -rf out/frames
echo "demo: wrote $(pwd)/out/preview.png (one frame after 6 s), out/sheet.png (24 s in six frames)"
[ -f out/preview.gif ] && echo "demo: and $(pwd)/out/preview.gif (8 s, animated)"
exit 0
