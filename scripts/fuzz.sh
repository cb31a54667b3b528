#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (against libjpeg-turbo built from Debian's source with the same
# instrumentation, so the fuzzer sees the decoder's branches) and runs each on its seeds in fuzz/corpus
# (written by fuzz/make_seeds.sh).
#   scripts/fuzz.sh [SECONDS per target, default 60] [TARGET...]   (jpeg command_line settings system_settings)
#   FUZZ_RUNS=10000000 scripts/fuzz.sh 0 jpeg                       (a campaign of a given length)
# New inputs collect in build/fuzz/corpus; a finding fails the run and its input stays in build/fuzz/findings.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(jpeg command_line settings system_settings)
deps=$root/build/fuzz-deps
flags="-g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all"

# The source Debian builds its libjpeg62-turbo from; the Windows build may have fetched it already.
libjpeg_source() {
  local found=("$root"/build/*-deps/src/libjpeg-turbo-*/)
  if [ ! -d "${found[0]}" ]; then
    mkdir -p "$deps/src"
    (cd "$deps/src" && apt-get source -qq libjpeg-turbo >/dev/null 2>&1) || return 1
    found=("$deps"/src/libjpeg-turbo-*/)
  fi
  [ -d "${found[0]}" ] && echo "${found[0]}"
}

build_libjpeg() {
  [ -f "$deps/prefix/lib/libjpeg.a" ] && return 0
  local src
  src=$(libjpeg_source) || return 1
  CC=clang-14 cmake -S "$src" -B "$deps/libjpeg-build" -G Ninja -DCMAKE_BUILD_TYPE=None \
    -DCMAKE_C_FLAGS="$flags" -DENABLE_SHARED=OFF -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF -Wno-dev >/dev/null
  cmake --build "$deps/libjpeg-build" -j2 --target jpeg-static >/dev/null
  mkdir -p "$deps/prefix/lib" "$deps/prefix/include"
  cp "$deps/libjpeg-build/libjpeg.a" "$deps/prefix/lib/"
  cp "$deps/libjpeg-build/jconfig.h" "$src/jpeglib.h" "$src/jmorecfg.h" "$src/jerror.h" "$deps/prefix/include/"
}

jpeg=()
if build_libjpeg; then
  jpeg=(-DJPEG_LIBRARY="$deps/prefix/lib/libjpeg.a" -DJPEG_INCLUDE_DIR="$deps/prefix/include")
else
  echo "fuzz: no libjpeg-turbo source (deb-src); the JPEG target runs on the system's uninstrumented libjpeg" >&2
fi
cmake --preset fuzz "${jpeg[@]}" >/dev/null
cmake --build --preset fuzz -j2 >/dev/null

mkdir -p build/fuzz/findings build/fuzz/logs
status=0
for target in "${targets[@]}"; do
  corpus=build/fuzz/corpus/$target log=build/fuzz/logs/$target.log
  mkdir -p "$corpus"
  options=(-max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -max_len=65536 -close_fd_mask=2
           -print_final_stats=1 -artifact_prefix="build/fuzz/findings/$target-")
  [ -z "${FUZZ_RUNS:-}" ] || options+=(-runs="$FUZZ_RUNS")
  if "build/fuzz/fuzz/fuzz_$target" "${options[@]}" "$corpus" "fuzz/corpus/$target" >"$log" 2>&1; then
    result="no findings"
  else
    result="FINDING (see $log and build/fuzz/findings)"
    status=1
    tail -n 30 "$log" >&2
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  time=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log")
  echo "fuzz: $target: ${runs:-?} executions in ${time:-?} s, $(find "$corpus" -type f | wc -l) inputs in the corpus, $result"
done
exit "$status"
