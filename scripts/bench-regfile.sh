#!/usr/bin/env bash
# Benchmark of "-regfile" and "-delregfromfile" under Wine (prints figures; not a test):
#
#   scripts/bench-regfile.sh [BUILD_DIR] [ENTRIES] [ROUNDS]
#
# Applies a generated registry script of ENTRIES (10000) entries with Mordelt.exe from
# BUILD_DIR (build/win64), then removes the same values, and reports entries per second next to
# Wine's own `reg import` of a .reg file that sets (then deletes, "name"=-) the same values and
# next to the floors: the same registry calls in a loop inside one process and in a program of
# their own (8-bit and 16-bit forms); each figure is the best of ROUNDS (3) interleaved rounds.
# Uses a private Wine prefix under BUILD_DIR/bench and ends only that prefix's server.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/win64}"
entries="${2:-10000}"
rounds="${3:-3}"
[[ -x $build/bin/Mordelt.exe || -f $build/bin/Mordelt.exe ]] || {
  echo "$0: $build/bin/Mordelt.exe not found: build the win64 preset first" >&2
  exit 2
}

bench="$build/bench"
mkdir -p "$bench/work"
x86_64-w64-mingw32-g++ -std=c++17 -O2 -Wall -Wextra -Werror -static -I "$root" \
  -o "$bench/regfile_bench.exe" "$root/bench/regfile_bench.cpp" -ladvapi32 -luser32

export WINEPREFIX="$bench/wineprefix"
bash "$root/scripts/wine-prefix.sh" "$WINEPREFIX" >&2
trap 'bash "$root/scripts/wine-prefix.sh" "$WINEPREFIX" --stop >/dev/null 2>&1 || true' EXIT
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

to_windows() { echo "Z:${1//\//\\}"; }
/usr/lib/wine/wine64 "$bench/regfile_bench.exe" "$(to_windows "$build/bin/Mordelt.exe")" \
  "$(to_windows "$bench/work")" "$entries" "$rounds"
