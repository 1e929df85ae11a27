#!/usr/bin/env bash
# Runs the libFuzzer targets, each for SECONDS seconds, one after the other, and prints per
# target how many inputs it executed and how many findings (crash, leak, timeout, out of
# memory) it made.
#
#   scripts/fuzz.sh [--build-dir DIR] SECONDS [TARGET...]
#
# TARGET is a name such as split_command_line (default: every *_fuzzer in DIR/bin). Without
# --build-dir the `fuzz` preset is configured and built first (build/fuzz). Each target starts
# from its committed seeds (fuzz/corpus/TARGET) and from what earlier runs found
# (DIR/fuzz-work/TARGET/corpus, never committed); findings go to DIR/fuzz-work/TARGET/findings,
# the full log to DIR/fuzz-work/TARGET/log.txt. Exits non-zero when a target made a finding or
# could not run.
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir=""
if [[ ${1:-} == --build-dir ]]; then
  build_dir=$2
  shift 2
fi
if [[ $# -lt 1 || ! $1 =~ ^[0-9]+$ ]]; then
  echo "usage: scripts/fuzz.sh [--build-dir DIR] SECONDS [TARGET...]" >&2
  exit 2
fi
seconds=$1
shift

if [[ -z $build_dir ]]; then
  build_dir="$root/build/fuzz"
  (cd "$root" && cmake --preset fuzz >/dev/null && cmake --build --preset fuzz) || exit 1
fi

targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  for exe in "$build_dir"/bin/*_fuzzer; do
    [[ -x $exe ]] || continue
    name=$(basename "$exe")
    targets+=("${name%_fuzzer}")
  done
fi
if [[ ${#targets[@]} -eq 0 ]]; then
  echo "fuzz: no fuzz target in $build_dir/bin" >&2
  exit 1
fi

failed=0
total_findings=0
for name in "${targets[@]}"; do
  exe="$build_dir/bin/${name}_fuzzer"
  work="$build_dir/fuzz-work/$name"
  seeds="$root/fuzz/corpus/$name"
  mkdir -p "$work/corpus" "$work/findings"
  rm -f "$work/findings"/*
  if [[ ! -x $exe ]]; then
    echo "fuzz: $name: no executable $exe"
    failed=1
    continue
  fi
  corpora=("$work/corpus")
  [[ -d $seeds ]] && corpora+=("$seeds")

  started=$SECONDS
  ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}" \
    UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}" \
    "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/findings/" "${corpora[@]}" >"$work/log.txt" 2>&1
  status=$?
  elapsed=$((SECONDS - started))

  executions=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+).*/\1/p' "$work/log.txt" | tail -1)
  findings=$(find "$work/findings" -type f | wc -l)
  corpus_size=$(find "$work/corpus" -type f | wc -l)
  total_findings=$((total_findings + findings))
  echo "fuzz: $name: ${executions:-0} executions in $elapsed s, corpus $corpus_size inputs," \
    "$findings findings (exit status $status)"
  if [[ $findings -gt 0 || $status -ne 0 ]]; then
    failed=1
    find "$work/findings" -type f -printf "fuzz: $name: finding %p\n"
    grep -m1 -E 'ERROR: |runtime error:|FINDING:' "$work/log.txt" | sed "s/^/fuzz: $name: /"
    echo "fuzz: $name: log $work/log.txt"
  fi
done

echo "fuzz: ${#targets[@]} targets, $total_findings findings"
exit $failed
