#!/usr/bin/env bash
# Writes the fuzz targets' seed corpora into fuzz/corpus: JPEGs of every coding the decoder takes (and some it
# refuses), cut and bit-flipped copies of the shipped masks, the run-mode command lines and settings files good
# and damaged. Run once by hand; the files are kept in the repository. Needs cjpeg (libjpeg-turbo-progs) and
# ImageMagick (the CMYK picture).
set -euo pipefail
cd "$(dirname "$0")"
command -v cjpeg >/dev/null || { echo "make_seeds: needs cjpeg (Debian: libjpeg-turbo-progs)" >&2; exit 1; }
jpegs=corpus/jpeg masks=../resources

# WIDTH HEIGHT COMPONENTS: plain PPM or PGM, smooth with a few hard edges so every coefficient band has something.
picture() {
  awk -v w="$1" -v h="$2" -v c="$3" 'BEGIN { print (c == 1 ? "P2" : "P3"), w, h, 255
    for (y = 0; y < h; y++) for (x = 0; x < w; x++) for (k = 1; k <= c; k++)
      print (int(x * 255 / w) * k + y * 7 + (int(x / 5) + int(y / 3)) % 2 * 90) % 256 }'
}
# NAME WIDTH HEIGHT COMPONENTS [cjpeg options]
jpeg() { picture "$2" "$3" "$4" | cjpeg -quality 80 "${@:5}" >"$jpegs/$1.jpg"; }
# FILE OFFSET VALUE: one byte overwritten in place.
poke() { printf %b "\\0$(printf %03o "$3")" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }
# SOURCE NAME OFFSET BIT...: a copy with one bit flipped at each offset.
flipped() {
  local copy=$jpegs/$2.jpg
  cp "$1" "$copy"
  set -- "${@:3}"
  while (($#)); do poke "$copy" "$1" $(($(od -An -tu1 -j "$1" -N1 "$copy") ^ (1 << $2))); shift 2; done
}

jpeg colour 40 24 3
jpeg colour-444-odd 17 9 3 -sample 1x1
jpeg colour-restarts 48 32 3 -restart 1
jpeg progressive 40 24 3 -progressive
jpeg progressive-gray 33 20 1 -progressive
jpeg arithmetic 40 24 3 -arithmetic
jpeg arithmetic-progressive-gray 24 16 1 -arithmetic -progressive -restart 2
# ImageMagick writes YCCK; Adobe's transform byte set to 0 makes the same samples plain CMYK.
picture 16 8 3 | convert ppm:- -colorspace CMYK -sampling-factor 1x1 -quality 80 "$jpegs/cmyk.jpg"
poke "$jpegs/cmyk.jpg" $(($(grep -obUa Adobe "$jpegs/cmyk.jpg" | cut -d: -f1) + 11)) 0
cp "$masks/discs_mask.jpg" "$masks/logo_mask.jpg" "$jpegs/"
head -c 300 "$masks/logo_mask.jpg" >"$jpegs/logo-cut-in-header.jpg"
head -c $(($(stat -c %s "$masks/discs_mask.jpg") / 2)) "$masks/discs_mask.jpg" >"$jpegs/discs-cut-in-scan.jpg"
flipped "$masks/discs_mask.jpg" discs-flipped-in-scan 6000 3 8000 6 11000 1
flipped "$jpegs/colour.jpg" colour-flipped-in-tables 30 2 170 7 200 4

lines=(quillon 'quillon ' 'quillon    ' 'quillon /c' 'quillon /c:1234' 'quillon /c 1234' 'quillon -C  ::  77'
  'quillon /s' 'quillon -s' 'quillon s' 'quillon /S' 'quillon /scr' 'quillon /s 1234' 'quillon /p 1234'
  'quillon /p:1234' 'quillon /P1234' 'quillon /l 1234' 'quillon /preview 1234' 'quillon /a 1234'
  'quillon /x' 'quillon //s' 'quillon --s' 'quillon /' 'quillon -'
  '"C:\Program Files\Quillon\quillon.scr" /p 42' 'C:\Program Files\Quillon\quillon.scr /s'
  $'quillon\t/s' $'"quillon"\t/s' '"quillon /p 1' 'quillon /p -2147483648' 'quillon /p +2147483647'
  'quillon /p 99999999999999999999999' 'quillon /a :: : -17x' 'quillon /c   -0' $'quillon /l \t12')
for i in "${!lines[@]}"; do printf %s "${lines[i]}" >"corpus/command_line/$i"; done

# Settings files, the same for both readers (printf %b expands the escapes).
saver='[Software\\Ostrel\\Lanthorn Saver]\n'
system='[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Screen Savers]\n'
files=("; Quillon screen saver settings\n$saver\"UseMirrors\"=dword:00000000\n"
  "$saver\"usemirrors\" = hex: 07 , 00\r\n# comment\n\"UseMirrors\"=dword:0000000G\n"
  "$saver\"UseMirrors\"=hex:00,00,00,00,01\n\"UseMirrors\"=dword:1234\n[\n\"UseMirrors\n"
  "$system\"Password Delay\"=dword:0000003c\n\"Mouse Threshold\"=hex:ff,ff,ff,ff\n\"Mute Sound\"=hex:01\n"
  "$system\"password delay\"=dword:FFFFFFFF\r\n\"Mouse Threshold\"=hex:0a,,00\n\"Mute Sound\"=\n"
  "$saver$system\"UseMirrors\"=dword:00000000\n$saver\"Mouse Threshold\"=dword:00000005\n"
  "$saver\"UseMirrors\"=dword:00000000\0\n" '' '[]\n""=\n')
for i in "${!files[@]}"; do
  printf %b "${files[i]}" >"corpus/settings/$i"
  cp "corpus/settings/$i" "corpus/system_settings/$i"
done
