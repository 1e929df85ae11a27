#!/usr/bin/env bash
# Benchmarks (figures, not tests): prints one table, measured in one run.
#
#   scripts/bench.sh [--runs N] [--regfile-runs N] [--entries N]
#
#   --runs N          runs of each start-up and device-walk figure (default 21)
#   --regfile-runs N  runs of the "-regfile" and "-delregfromfile" groups (default 5)
#   --entries N       entries of their script (default 10000)
#
# Under Wine, on the 64-bit build (preset win64), with one wineserver kept
# running for the whole measurement (started persistent for the benchmark's
# own prefix, build/bench/wineprefix, and ended at the end):
#   - start-up of Mordelt.exe with an empty command line and with one "-add",
#     next to two floors (bench/floor_return.cpp, bench/floor_window.cpp) and
#     next to the system's "reg add" of the same value (bench/wine_bench.cpp);
#   - "-regfile" with 10,000 entries next to "reg import" of the same values and
#     the same registry calls made in one process and by a windowless program of
#     their own (8-bit forms, as Mordelt makes them, and 16-bit forms, as reg.exe
#     makes them), and "-delregfromfile" of the same script next to "reg import"
#     of a .reg file that deletes the same values ("name"=-) and the same floors
#     (bench/regfile_bench.cpp);
#   every timed run starts after a short pause, and a hidden window of the
#     benchmark programs holds Wine's desktop for the whole measurement
#     (bench/desktop.h);
#   - "-hwid" with a pattern that matches nothing, next to the same walk of the
#     device tree written directly against SetupAPI, in a program with the same
#     hidden window (bench/floor_walk.cpp) and alone inside one process;
# natively (a Release build in build/bench/native):
#   - MatchIdentifier calls per second (bench/match_identifier_bench.cpp);
#   - the registry script reader alone, entries per second over a registry that
#     does nothing (bench/script_reader_bench.cpp);
# and the size of each shipped executable, 32- and 64-bit.
#
# Every figure is the median of several runs with the minimum and maximum;
# ratios are between medians of this same run. A row whose command does not
# work in this build shows "n/a" with the reason.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

runs=21
regfile_runs=5
entries=10000
while [[ $# -gt 0 ]]; do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --regfile-runs) regfile_runs=$2; shift 2 ;;
    --entries) entries=$2; shift 2 ;;
    -h | --help) sed -n '2,31p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "$0: unknown argument: $1" >&2; exit 2 ;;
  esac
done

work="$root/build/bench"
mkdir -p "$work"
rows="$work/rows.tsv"
: >"$rows"
log="$work/build.log"
: >"$log"
started=$SECONDS

# ---------------------------------------------------------------------------
# Build.
# ---------------------------------------------------------------------------
echo "bench: building (log in $log)" >&2
cmake --preset win64 >>"$log" 2>&1
cmake --build build/win64 -j2 \
  --target Mordelt setup floor_return floor_window floor_walk wine_bench regfile_bench >>"$log" 2>&1
cmake --preset win32 >>"$log" 2>&1
cmake --build build/win32 -j2 --target Mordelt setup >>"$log" 2>&1
cmake --preset native -B "$work/native" -DCMAKE_BUILD_TYPE=Release >>"$log" 2>&1
cmake --build "$work/native" -j2 --target match_identifier_bench script_reader_bench >>"$log" 2>&1
native_bench="$work/native/bin/match_identifier_bench"
reader_bench="$work/native/bin/script_reader_bench"

# ---------------------------------------------------------------------------
# Wine: one prefix, one wineserver for the whole measurement.
# ---------------------------------------------------------------------------
export WINEPREFIX="$work/wineprefix"
bash scripts/wine-prefix.sh "$WINEPREFIX" >&2
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64
[[ -x $WINESERVER ]] || WINESERVER=/usr/lib/wine/wineserver
"$WINESERVER" -p
trap '"$WINESERVER" -k 2>/dev/null || true; "$WINESERVER" -w 2>/dev/null || true' EXIT
# The first program of a prefix pays for starting its services; not measured.
"$WINE64" cmd /c exit 0 >/dev/null 2>&1 || true

to_windows() { echo "Z:${1//\//\\}"; }
bin="$root/build/win64/bin"

echo "bench: start-up and device walk, $runs runs each" >&2
"$WINE64" "$bin/wine_bench.exe" "$runs" | tr -d '\r' >>"$rows"

# ---------------------------------------------------------------------------
# "-regfile" and "-delregfromfile": the registry commands' benchmark program,
# run several times. Each run (one round) prints seconds for Mordelt, reg
# import and the floor, setting and then deleting the values; the figures here
# are the median, minimum and maximum over the runs.
# ---------------------------------------------------------------------------
with_commas() { sed ':a;s/\B[0-9]\{3\}\>/,&/;ta' <<<"$1"; }
n_entries=$(with_commas "$entries")
regfile_label="-regfile, $n_entries entries"
import_label="reg import of the same $n_entries values"
floor_label="floor: the same registry calls in one process"
narrow_label="floor: a windowless program making the same calls (8-bit forms, as Mordelt)"
wide_label="floor: a windowless program making the same calls (16-bit forms, as reg.exe)"
delete_label="-delregfromfile, $n_entries entries"
delete_import_label="reg import deleting the same $n_entries values (\"name\"=-)"
delete_floor_label="floor: the same deletion calls in one process"
delete_narrow_label="floor: a windowless program making the same deletions (8-bit forms)"
delete_wide_label="floor: a windowless program making the same deletions (16-bit forms)"
if [[ -f $bin/regfile_bench.exe ]]; then
  echo "bench: -regfile and -delregfromfile with $entries entries, $regfile_runs runs" >&2
  mkdir -p "$work/regfile"
  for ((i = 0; i < regfile_runs; i++)); do
    "$WINE64" "$bin/regfile_bench.exe" "$(to_windows "$bin/Mordelt.exe")" \
      "$(to_windows "$work/regfile")" "$entries" 1 | tr -d '\r'
  done >"$work/regfile.txt"
  # Lines: "<label padded to 44> <seconds> s <rate> entries/s  (values found F/N, exit code C)",
  # for the deletions "(values left L/N, ...)".
  awk -v entries="$entries" \
    -v lm="$regfile_label" -v lr="$import_label" -v lf="$floor_label" \
    -v ldm="$delete_label" -v ldr="$delete_import_label" -v ldf="$delete_floor_label" \
    -v ln="$narrow_label" -v lw="$wide_label" -v ldn="$delete_narrow_label" -v ldw="$delete_wide_label" '
    function label(line) { return substr(line, 1, 44) }
    function seconds(line,   rest) { rest = substr(line, 45); sub(/^ +/, "", rest); sub(/ s.*/, "", rest); return rest + 0 }
    function complete(line, key) {
      if (key ~ /^d/) return line ~ ("values left 0/" entries ",")
      return line ~ ("values found " entries "/" entries ",")
    }
    {
      key = ""
      if (label($0) ~ /^Mordelt\.exe -regfile +$/) key = "m"
      else if (label($0) ~ /^reg\.exe import +$/) key = "r"
      else if (label($0) ~ /^floor: the same calls/) key = "f"
      else if (label($0) ~ /^program: the same calls, 8-bit/) key = "n"
      else if (label($0) ~ /^program: the same calls, 16-bit/) key = "w"
      else if (label($0) ~ /^Mordelt\.exe -delregfromfile +$/) key = "dm"
      else if (label($0) ~ /^reg\.exe import, deleting/) key = "dr"
      else if (label($0) ~ /^floor: the deletion calls/) key = "df"
      else if (label($0) ~ /^program: the deletion calls, 8-bit/) key = "dn"
      else if (label($0) ~ /^program: the deletion calls, 16-bit/) key = "dw"
      if (key == "") next
      if (!complete($0, key)) { bad[key] = $0; next }
      n[key]++; t[key, n[key]] = seconds($0)
    }
    function sort(key,   a, b, x) {
      for (a = 1; a <= n[key]; a++) for (b = a + 1; b <= n[key]; b++)
        if (t[key, b] < t[key, a]) { x = t[key, a]; t[key, a] = t[key, b]; t[key, b] = x }
    }
    function median(key,   m) {
      m = n[key]; return (m % 2) ? t[key, (m + 1) / 2] : (t[key, m / 2] + t[key, m / 2 + 1]) / 2
    }
    function have(key) { return n[key] > 0 && !(key in bad) }
    function row(key, name, comparison) {
      if (!have(key)) {
        printf "na\t%s\t%s\n", name, (key in bad) ? "not every value was " (key ~ /^d/ ? "deleted" : "set") " (" bad[key] ")" : "no figure"
        return
      }
      printf "row\t%s\t%d\t%.3f s\t%.3f s\t%.3f s\t%s\n", name, n[key], median(key), t[key, 1], t[key, n[key]], comparison
    }
    function rate(key) { return sprintf("%.0f entries/s", entries / median(key)) }
    function versus(a, b, what) { return (have(a) && have(b)) ? sprintf("; %.2f x %s", median(a) / median(b), what) : "" }
    # Mordelt next to reg import and its floors, then the references.
    function group(m, r, f, p, w, nm, nr, nf, np, nw,   c) {
      sort(m); sort(r); sort(f); sort(p); sort(w)
      c = have(m) ? rate(m) : ""
      c = c versus(m, r, "reg import") versus(m, p, "the 8-bit program") versus(m, f, "the floor")
      row(m, nm, c)
      row(r, nr, have(r) ? rate(r) : "")
      row(f, nf, have(f) ? rate(f) : "")
      row(p, np, (have(p) ? rate(p) : "") versus(p, r, "reg import"))
      row(w, nw, (have(w) ? rate(w) : "") versus(w, r, "reg import"))
    }
    END {
      group("m", "r", "f", "n", "w", lm, lr, lf, ln, lw)
      group("dm", "dr", "df", "dn", "dw", ldm, ldr, ldf, ldn, ldw)
    }' "$work/regfile.txt" >>"$rows"
else
  for name in "$regfile_label" "$import_label" "$floor_label" "$narrow_label" "$wide_label" \
    "$delete_label" "$delete_import_label" "$delete_floor_label" "$delete_narrow_label" \
    "$delete_wide_label"; do
    printf 'na\t%s\t%s\n' "$name" "the registry script commands are not in this build" >>"$rows"
  done
fi

"$WINESERVER" -k 2>/dev/null || true
"$WINESERVER" -w 2>/dev/null || true
trap - EXIT

# ---------------------------------------------------------------------------
# Native.
# ---------------------------------------------------------------------------
if [[ -n $native_bench ]]; then
  echo "bench: MatchIdentifier, natively" >&2
  "$native_bench" 9 >>"$rows"
else
  printf 'na\t%s\t%s\n' "native: MatchIdentifier, realistic identifiers" \
    "the identifier matcher is not in this build" >>"$rows"
  printf 'na\t%s\t%s\n' "native: MatchIdentifier, worst case" \
    "the identifier matcher is not in this build" >>"$rows"
fi
if [[ -n $reader_bench ]]; then
  echo "bench: the registry script reader, natively" >&2
  (cd "$work" && "$reader_bench" 9 "$entries") >>"$rows"
fi

# ---------------------------------------------------------------------------
# Sizes of the executables as they ship (linked with -s).
# ---------------------------------------------------------------------------
for arch in 32 64; do
  for program in Mordelt setup; do
    file="$root/build/win$arch/bin/$program.exe"
    size=$(stat -c %s "$file")
    printf 'row\tsize: %s.exe, %s-bit\t1\t%s bytes\t\t\t%.1f KiB\n' "$program" "$arch" "$size" \
      "$(awk -v s="$size" 'BEGIN { print s / 1024 }')" >>"$rows"
  done
done

# ---------------------------------------------------------------------------
# The table.
# ---------------------------------------------------------------------------
echo
echo "Benchmarks, $(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git rev-parse --short HEAD)," \
  "$(nproc) cores, $("$WINE64" --version 2>/dev/null || echo wine)," \
  "finished in $((SECONDS - started)) s:"
echo
awk -F'\t' '
  BEGIN {
    print "| Measurement | Runs | Median | Min | Max | Compared within this run |"
    print "|---|---:|---:|---:|---:|---|"
  }
  $1 == "row" { printf "| %s | %s | %s | %s | %s | %s |\n", $2, $3, $4, $5, $6, $7 }
  $1 == "na"  { printf "| %s | | n/a | | | %s |\n", $2, $3 }
' "$rows"
