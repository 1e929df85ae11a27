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
# The GitHub workflows are validated against GitHub's schema (scripts/check-workflows.sh, with a
# validator from the npm registry that scripts/install-deps.sh --tools installs).
# Then the release: signed with throwaway certificates and a local time-stamp
# authority (scripts/check-signing.sh), and built twice unsigned and twice
# signed, the bytes compared (scripts/check-reproducible.sh).
# Exits non-zero when anything fails. The last lines list every run that did not
# take place (NOT RUN) and why.
#
#   scripts/test.sh [--require-32-bit]
#
# --require-32-bit: every NOT RUN of the 32-bit runs (the win32 tests under Wine 10,
#   the signed 32-bit Mordelt.exe) fails the run, whatever the reason: the root
#   cannot be made, or the machine runs no 32-bit code. Before a release is
#   shipped, run it so on a machine that runs 32-bit code (docs/release.md).
set -uo pipefail

require_32_bit=no
case "${1:-}" in
  "") ;;
  --require-32-bit) require_32_bit=yes ;;
  *)
    echo "usage: $0 [--require-32-bit]" >&2
    exit 2
    ;;
esac

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

started=$SECONDS
bash scripts/install-deps.sh || exit 1

logs="$root/build/test-logs"
mkdir -p "$logs"
failed_steps=()
# What did not run, each "what: why": the 32-bit runs, and the others.
not_run_32=()
not_run_other=()
wine10_unavailable=""
tests_passed=0
tests_failed=0

echo "==> Wine 10: the Debian unstable root"
step_started=$SECONDS
if ! bash scripts/wine10-root.sh 2>&1 | tee "$logs/wine10-root.log"; then
  wine10_unavailable=$(sed -n 's/^wine10-root: //p' "$logs/wine10-root.log" | tail -n 1)
  wine10_unavailable=${wine10_unavailable:-see $logs/wine10-root.log}
  echo "NOT RUN: Wine 10: its root cannot be made: $wine10_unavailable"
  not_run_32+=("every run under Wine 10: its root cannot be made: $wine10_unavailable")
fi
echo "==> Wine 10 root ready in $((SECONDS - step_started)) s"

# not_run_reason LOG TEST: the reason that TEST gave in ctest's LOG for not running (the text
# after its first "NOT RUN").
not_run_reason() {
  local reason
  reason=$(awk -v test="$2" '
    /^[0-9]+\/[0-9]+ Test: / { current = substr($0, index($0, " Test: ") + 7); output = 0 }
    /^Output:$/ { output = 1 }
    /^<end of output>$/ { output = 0 }
    output && current == test && /NOT RUN/ { sub(/.*NOT RUN:? */, ""); print; exit }' "$1" 2>/dev/null)
  echo "${reason:-skipped (exit status 77) without a reason}"
}

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
  local skipped reason
  while IFS= read -r skipped; do
    reason=$(not_run_reason "build/$preset/Testing/Temporary/LastTest.log" "$skipped")
    if [[ $preset == win32 ]]; then
      not_run_32+=("$preset $skipped: $reason")
    else
      not_run_other+=("$preset $skipped: $reason")
    fi
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

echo "==> workflows: .github/workflows against GitHub's workflow schema"
if ! bash scripts/check-workflows.sh 2>&1 | tee "$logs/workflows.log"; then
  failed_steps+=("workflows")
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
# "NOT RUN  the signed Mordelt.exe under wine10-run.sh: why": Mordelt.exe is the 32-bit program.
while IFS= read -r skipped; do
  if [[ $skipped == "the signed Mordelt.exe "* ]]; then
    not_run_32+=("release signing: $skipped")
  else
    not_run_other+=("release signing: $skipped")
  fi
done < <(sed -nE 's/^NOT RUN  (the signed .*)/\1/p' "$logs/signing.log")
echo "==> release signing: done in $((SECONDS - step_started)) s"

echo "==> release: reproducible build"
if ! bash scripts/check-reproducible.sh 2>&1 | tee "$logs/reproducible.log"; then
  failed_steps+=("reproducible release")
fi
echo "==> release: reproducible signed build"
if ! bash scripts/check-reproducible.sh --sign 2>&1 | tee "$logs/reproducible-signed.log"; then
  failed_steps+=("reproducible signed release")
fi

if [[ $require_32_bit == yes && ${#not_run_32[@]} -gt 0 ]]; then
  failed_steps+=("32-bit runs NOT RUN (--require-32-bit)")
fi

echo
echo "test.sh: finished in $((SECONDS - started)) s"
echo "ctest: $tests_passed passed, $tests_failed failed"
if [[ ${#failed_steps[@]} -gt 0 ]]; then
  echo "test.sh: failed steps: ${failed_steps[*]}"
fi
if [[ ${#not_run_32[@]} -gt 0 ]]; then
  verdict="--require-32-bit fails on them"
  [[ $require_32_bit == yes ]] && verdict="each one fails the run: --require-32-bit"
  echo "test.sh: NOT RUN, of the 32-bit runs ($verdict; more in build/win32/Testing):"
  printf '  %s\n' "${not_run_32[@]}"
fi
if [[ ${#not_run_other[@]} -gt 0 ]]; then
  echo "test.sh: NOT RUN, of the others (more in build/PRESET/Testing):"
  printf '  %s\n' "${not_run_other[@]}"
fi
[[ ${#failed_steps[@]} -eq 0 && $tests_failed -eq 0 ]]
