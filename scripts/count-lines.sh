#!/usr/bin/env bash
# Counts non-blank, non-comment lines of product code and of test code, and their ratio: once for the C++
# sources alone, once with the shell scripts and CMake files too.
# Product: the core and its exact math library, hosts, platform layer, tools and the resource maker.
# Tests: everything under tests/ and fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."

# C and C++ lose // and /* */ comments; shell, CMake and Python lose # comments.
count() {
  local total=0 n file
  for file in "$@"; do
    case "$file" in
      *.c|*.cpp|*.h|*.rc)
        n=$(sed -e 's://.*$::' "$file" | awk '
              { line = $0
                while (1) {
                  if (incomment) { i = index(line, "*/"); if (!i) { line = ""; break }
                                   line = substr(line, i + 2); incomment = 0 }
                  i = index(line, "/*"); if (!i) break
                  rest = substr(line, i + 2); j = index(rest, "*/")
                  if (j) line = substr(line, 1, i - 1) substr(rest, j + 2)
                  else { line = substr(line, 1, i - 1); incomment = 1; break } }
                if (line ~ /[^ \t]/) c++ }
              END { print c + 0 }') ;;
      *) n=$(grep -cvE '^[[:space:]]*(#|$)' "$file" || true) ;;
    esac
    total=$((total + n))
  done
  echo "$total"
}

code_files() { git ls-files -- "$@" | grep -E '\.(c|cpp|h|rc|sh|py|cmake)$|CMakeLists\.txt$' || true; }

report() {
  local what=$1 pattern=$2 p t
  mapfile -t product < <(code_files exact scene discs images host platform tools resources | grep -E "$pattern")
  mapfile -t tests < <(code_files tests fuzz | grep -E "$pattern")
  p=$(count "${product[@]}")
  t=$(count "${tests[@]}")
  awk -v w="$what" -v t="$t" -v p="$p" 'BEGIN { printf "%-22s tests %5d / product %5d = %.0f%%\n", w, t, p, 100 * t / p }'
}
report "C++ sources:" '\.(cpp|h)$'
report "all code (+ sh, CMake):" '.'
