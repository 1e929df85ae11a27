#!/usr/bin/env bash
# The bad-input and load matrix under Wine: builds the win64 preset, prepares its Wine prefix,
# runs matrix.exe and prints the table of rows (what was given, exit code, what happened and the
# figures). Exits non-zero when a row does not end as defined.
#
#   scripts/matrix.sh          every row, the load row included (about 5 minutes here:
#                              1,000,000 script entries)
#   scripts/matrix.sh quick    the rows that take seconds (ctest runs these as matrix_quick)
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
filter=Matrix
[[ ${1:-} == quick ]] && filter=MatrixQuick

bash scripts/install-deps.sh >/dev/null || exit 1
cmake --preset win64 >/dev/null && cmake --build --preset win64 || exit 1

export WINEPREFIX="$root/build/win64/wineprefix"
bash scripts/wine-prefix.sh "$WINEPREFIX" >/dev/null || exit 1
log="$root/build/win64/matrix-log.txt"
bash scripts/wine-run.sh build/win64/bin/matrix.exe "$filter" 2>&1 | tr -d '\r' | tee "$log" |
  grep -vE '^\| ' # progress and failures as they happen
status=${PIPESTATUS[0]}
bash scripts/wine-prefix.sh "$WINEPREFIX" --stop >/dev/null 2>&1

echo
echo "| Row | Given | Exit code | What happened |"
echo "|---|---|---|---|"
grep -E '^\| ' "$log"
exit "$status"
