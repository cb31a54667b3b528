#!/usr/bin/env bash
# The headless renderer end to end: a picture, a contact sheet and numbered frames of the right sizes,
# not black, the same for the same seed, and unusable arguments refused.
set -euo pipefail
render=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$render" --size 96x72 --frames 30 --seed 5 --out "$dir/a.png" --quiet >/dev/null
[ "$(identify -format '%wx%h' "$dir/a.png")" = 96x72 ] || fail "picture size"
mean=$(convert "$dir/a.png" -format '%[fx:int(mean*1000)]' info:)
[ "$mean" -gt 5 ] || fail "picture is black (mean $mean/1000)"

"$render" --size 96x72 --frames 30 --seed 5 --out "$dir/b.png" --quiet >/dev/null
cmp -s "$dir/a.png" "$dir/b.png" || fail "same seed, different pictures"
"$render" --size 96x72 --frames 30 --seed 6 --out "$dir/c.png" --quiet >/dev/null
cmp -s "$dir/a.png" "$dir/c.png" && fail "another seed, same picture"

"$render" --size 40x30 --frames 12 --sheet 3x2 --out "$dir/sheet.png" --quiet >/dev/null
[ "$(identify -format '%wx%h' "$dir/sheet.png")" = 120x60 ] || fail "sheet size"

mkdir "$dir/frames"
"$render" --size 32x24 --frames 10 --every 5 --out "$dir/frames/f.png" --quiet >/dev/null
[ -f "$dir/frames/f-0005.png" ] && [ -f "$dir/frames/f-0010.png" ] || fail "numbered frames"

# Monitors: the picture is their bounding box, one copy on each; one monitor over the whole picture, or a
# cloned pair, is the plain picture to the byte.
"$render" --monitors 64x48-64+0,40x30+0+0 --frames 30 --seed 5 --out "$dir/m.png" --quiet >/dev/null
[ "$(identify -format '%wx%h' "$dir/m.png")" = 104x48 ] || fail "monitors picture size"
corner=$(convert "$dir/m.png" -crop 40x18+64+30 -format '%[fx:int(maxima*255)]' info:)
[ "$corner" -eq 0 ] || fail "the corner below the small monitor is drawn (max $corner)"
for one in "--monitors 96x72+0+0" "--monitors 96x72+5+5,96x72+5+5" "--size 96x72 --monitors 96x72+0+0,10x10+200+0"; do
  # shellcheck disable=SC2086
  "$render" $one --frames 30 --seed 5 --out "$dir/one.png" --quiet >/dev/null
  cmp -s "$dir/a.png" "$dir/one.png" || fail "$one differs from the plain picture"
done

for bad in "--monitors junk" "--monitors 0x10+0+0" "--monitors 10x10+0+0," "--monitors 10x10+0" \
  "--monitors 10x10+0+0,99999999999999999999x10+0+0" "--monitors 10x10+2000000+0" "--monitors 10x10+-5+0" \
  "--monitors 8000x10+0+0,8000x10+8000+0" "--size 0x10" "--frames x" "--seed 256" "--bogus" "--key 5"; do
  # shellcheck disable=SC2086
  if "$render" $bad --out "$dir/bad.png" 2>/dev/null; then fail "accepted $bad"; fi
done
[ ! -e "$dir/bad.png" ] || fail "wrote a picture for bad arguments"
"$render" --size 8x8 --frames 1 --out "$dir/missing/x.png" --quiet 2>/dev/null && fail "unwritable path reported as success"
echo "render test passed"
