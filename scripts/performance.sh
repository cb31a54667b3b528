#!/usr/bin/env bash
# Regenerates docs/performance.md from a fresh build: builds quillon-bench and the X11 saver in build/perf,
# builds the benchmark again against the core as it stood before the first speed change ("Speed: ..."
# commits) and after each, checks that each change draws the same frames byte for byte as the state before it,
# runs the whole benchmark once and the speed cases of every build in interleaved rounds, and writes the page
# and its plot.
#
# Settings (environment): FRAMES (20 samples a frame case at least), CASE_SECONDS (3), ROUNDS (3),
# HOST_SECONDS (30), SETTLE_SECONDS (10);
# QUIET_LOAD=1.0 waits, after building, until the 1-minute load average stays below it (at most QUIET_MINUTES,
# 240).
set -euo pipefail
cd "$(dirname "$0")/.."

frames=${FRAMES:-20}
case_seconds=${CASE_SECONDS:-3}
rounds=${ROUNDS:-3}
host_seconds=${HOST_SECONDS:-30}
settle_seconds=${SETTLE_SECONDS:-10}
work=build/perf
out=$work/out
speed_cases='^Frame/(640x480|1920x1080)/(10|94)/mirrors/'

# What the build and the plot need beyond scripts/setup.sh: Google Benchmark and gnuplot, from Debian.
missing=()
for p in libbenchmark-dev gnuplot-nox xvfb libx11-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""; [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  echo "performance: installing ${missing[*]}"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

build() {  # build SOURCE DIR TARGET...
  local source=$1 dir=$2; shift 2
  cmake -S "$source" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_TESTS=OFF -DQUILLON_BENCH=ON \
    >"$dir.configure.log"
  cmake --build "$dir" -j2 --target "$@" >"$dir.build.log"
}

rm -rf "$work"
mkdir -p "$out"
echo "performance: building the benchmark and the X11 saver ($work/main)"
build . "$work/main" quillon-bench quillon
bench=$work/main/tools/quillon-bench

# One build per state of the core: before the first speed change, then after each. The rest of the tree
# (benchmark included) is the working tree's, so every build measures the same way.
: >"$out/variants.tsv"
mapfile -t changes < <(git log --reverse --format='%H%x09%s' --grep='^Speed: ' HEAD -- scene discs images)
if [ ${#changes[@]} -gt 0 ]; then
  first=${changes[0]%%$'\t'*}
  states=("$(git rev-parse "$first^")"$'\tbefore the first speed change' "${changes[@]}")
  for i in "${!states[@]}"; do
    commit=${states[$i]%%$'\t'*}
    src=$work/variant-$i/src
    mkdir -p "$src"
    git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -x -C "$src"
    rm -rf "$src/scene" "$src/discs" "$src/images"
    git archive "$commit" scene discs images | tar -x -C "$src"
    echo "performance: building the benchmark on the core of ${commit:0:10}"
    build "$src" "$work/variant-$i/build" quillon-bench
    printf '%s\t%s\n' "$i" "${states[$i]}" >>"$out/variants.tsv"
  done
fi

echo "performance: comparing the frames of each speed change with those of the state before it"
: >"$out/proof.txt"
previous=""
while IFS=$'\t' read -r i commit subject; do
  mkdir -p "$out/frames-$i"
  "$work/variant-$i/build/tools/quillon-bench" --dump-frames="$out/frames-$i" </dev/null
  if [ -n "$previous" ]; then
    total=0 differing=()
    for file in "$out/frames-$previous"/*; do
      total=$((total + 1))
      cmp -s "$file" "$out/frames-$i/$(basename "$file")" || differing+=("$(basename "$file")")
    done
    if [ ${#differing[@]} -eq 0 ]; then
      echo "${commit:0:10} ($subject): all $total files identical" >>"$out/proof.txt"
    else
      echo "${commit:0:10} ($subject): ${#differing[@]} of $total files DIFFER: ${differing[*]}" >>"$out/proof.txt"
    fi
  fi
  previous=$i
done <"$out/variants.tsv"
cat "$out/proof.txt"

# A quiet machine: the 1-minute load average below QUIET_LOAD at five checks in a row, 30 s apart.
if [ -n "${QUIET_LOAD:-}" ]; then
  deadline=$((SECONDS + 60 * ${QUIET_MINUTES:-240})) quiet=0
  while [ $quiet -lt 5 ] && [ $SECONDS -lt $deadline ]; do
    if awk -v limit="$QUIET_LOAD" '{ exit !($1 < limit) }' /proc/loadavg; then quiet=$((quiet + 1)); else quiet=0; fi
    [ $quiet -lt 5 ] && echo "performance: load $(cut -d' ' -f1-3 /proc/loadavg), waiting for it to stay below $QUIET_LOAD"
    [ $quiet -lt 5 ] && sleep 30
  done
fi

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
echo "performance: running the benchmark (load $load_before)"
"$bench" --frames="$frames" --case-seconds="$case_seconds" --host-seconds="$host_seconds" \
  --settle-seconds="$settle_seconds" --benchmark_out="$out/main.json" --benchmark_out_format=json | tee "$out/main.txt"
for round in $(seq "$rounds"); do
  while IFS=$'\t' read -r i commit _; do
    echo "performance: speed cases, round $round, core of ${commit:0:10}"
    "$work/variant-$i/build/tools/quillon-bench" --no-host --frames="$frames" --case-seconds="$case_seconds" \
      --benchmark_filter="$speed_cases" --benchmark_out="$out/variant-$i-round-$round.json" \
      --benchmark_out_format=json </dev/null
  done <"$out/variants.tsv"
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

python3 tools/bench/report.py --main "$out/main.json" --variants "$out/variants.tsv" --variant-dir "$out" \
  --proof "$out/proof.txt" --load-before "$load_before" --load-after "$load_after" --frames "$frames" \
  --case-seconds "$case_seconds" \
  --host-seconds "$host_seconds" --settle-seconds "$settle_seconds" --out docs/performance.md
echo "performance: wrote docs/performance.md and docs/performance-frames.png (load after the run: $load_after)"
