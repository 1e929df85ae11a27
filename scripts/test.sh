#!/usr/bin/env bash
# Runs every test: installs what is missing, then configures, builds and
# tests the presets:
#   native  unit tests of the portable core (GoogleTest over fakes)
#   fuzz    the same unit tests built with clang under AddressSanitizer (with its
#           leak check) and UBSan, and each fuzz target run briefly
#           (FUZZ_SMOKE_SECONDS, default 30)
#   win32   the shipped 32-bit programs: subsystem, imports and resources, then the
#           conformance tests under Wine 10 in its WoW64 mode
#   win64   the same checks for x86-64, then the conformance tests under Debian's
#           Wine and under Wine 10
# Wine 10 runs in a Debian unstable root that scripts/wine10-root.sh makes first
# (once; it needs root or sudo and the Debian archive of this machine's apt
# sources). Debian unstable moves every day: when the root cannot be made, the
# runs under Wine 10 are reported NOT RUN with the reason, and everything else
# decides the result; a test that fails under Wine 10 still fails the run.
# Then the release: signed with throwaway certificates and a local time-stamp
# authority (scripts/check-signing.sh), and built twice unsigned and twice
# signed, the bytes compared (scripts/check-reproducible.sh).
# Exits non-zero when anything fails.
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

started=$SECONDS
bash scripts/install-deps.sh || exit 1

logs="$root/build/test-logs"
mkdir -p "$logs"
failed_steps=()
not_run=()
wine10_unavailable=""
tests_passed=0
tests_failed=0

echo "==> Wine 10: the Debian unstable root"
step_started=$SECONDS
if ! bash scripts/wine10-root.sh 2>&1 | tee "$logs/wine10-root.log"; then
  wine10_unavailable=$(sed -n 's/^wine10-root: //p' "$logs/wine10-root.log" | tail -n 1)
  wine10_unavailable=${wine10_unavailable:-see $logs/wine10-root.log}
  echo "NOT RUN: Wine 10: its root cannot be made: $wine10_unavailable"
  not_run+=("Wine-10-root")
fi
echo "==> Wine 10 root ready in $((SECONDS - step_started)) s"

run_preset() {
  local preset=$1 step_started=$SECONDS
  echo "==> $preset: configure"
  local extra=()
  if [[ $preset == fuzz && -n ${FUZZ_SMOKE_SECONDS:-} ]]; then
    extra=("-DFUZZ_SMOKE_SECONDS=$FUZZ_SMOKE_SECONDS")
  fi
  if ! cmake --preset "$preset" "${extra[@]}" >"$logs/$preset-configure.log" 2>&1; then
    cat "$logs/$preset-configure.log"
    failed_steps+=("$preset configure")
    return
  fi
  echo "==> $preset: build"
  if ! cmake --build --preset "$preset"; then
    failed_steps+=("$preset build")
    return
  fi
  echo "==> $preset: test"
  ctest --preset "$preset" 2>&1 | tee "$logs/$preset-ctest.log"
  local status=${PIPESTATUS[0]}
  local summary
  summary=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$logs/$preset-ctest.log" | tail -1)
  if [[ -n $summary ]]; then
    local failed total
    failed=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$summary")
    total=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$summary")
    tests_passed=$((tests_passed + total - failed))
    tests_failed=$((tests_failed + failed))
  fi
  if [[ $status -ne 0 || -z $summary ]]; then
    failed_steps+=("$preset test")
  fi
  local skipped
  while IFS= read -r skipped; do
    not_run+=("$preset:$skipped")
  done < <(sed -nE 's/^\s+[0-9]+ - (\S+) \(Skipped\)$/\1/p' "$logs/$preset-ctest.log")
  # Why: what the skipped tests wrote.
  grep -h 'NOT RUN' "build/$preset/Testing/Temporary/LastTest.log" 2>/dev/null | sort -u
  echo "==> $preset: done in $((SECONDS - step_started)) s"
}

echo "==> format: every C++ file as .clang-format lays it out"
if ! git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror >"$logs/format.log" 2>&1; then
  head -n 40 "$logs/format.log"
  failed_steps+=("format")
fi

run_preset native
run_preset fuzz
run_preset win32
run_preset win64

echo "==> release: signing, with throwaway certificates and a local time-stamp authority"
step_started=$SECONDS
if ! bash scripts/check-signing.sh 2>&1 | tee "$logs/signing.log"; then
  failed_steps+=("release signing")
fi
while IFS= read -r skipped; do
  not_run+=("signing:$skipped")
done < <(sed -nE 's/^NOT RUN  the signed (\S+) under (\S+):.*/\1-under-\2/p' "$logs/signing.log")
echo "==> release signing: done in $((SECONDS - step_started)) s"

echo "==> release: reproducible build"
if ! bash scripts/check-reproducible.sh 2>&1 | tee "$logs/reproducible.log"; then
  failed_steps+=("reproducible release")
fi
echo "==> release: reproducible signed build"
if ! bash scripts/check-reproducible.sh --sign 2>&1 | tee "$logs/reproducible-signed.log"; then
  failed_steps+=("reproducible signed release")
fi

echo
echo "test.sh: finished in $((SECONDS - started)) s"
if [[ ${#failed_steps[@]} -gt 0 ]]; then
  echo "test.sh: failed steps: ${failed_steps[*]}"
fi
if [[ ${#not_run[@]} -gt 0 ]]; then
  echo "test.sh: NOT RUN (skipped; the reason is above and in build/PRESET/Testing): ${not_run[*]}"
fi
if [[ -n $wine10_unavailable ]]; then
  echo "test.sh: NOT RUN: every run under Wine 10: its root cannot be made: $wine10_unavailable"
fi
echo "ctest: $tests_passed passed, $tests_failed failed"
[[ ${#failed_steps[@]} -eq 0 && $tests_failed -eq 0 ]]
