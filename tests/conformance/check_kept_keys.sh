#!/usr/bin/env bash
# The manual's examples never delete a key that the machine had before them: with
# HKEY_LOCAL_MACHINE\SOFTWARE\Example there, ManualExamples skips with the reason, and the key
# keeps its value.
#
#   check_kept_keys.sh RUNNER CONFORMANCE_EXE
#
# RUNNER is scripts/wine-run.sh or wine10-run.sh, with WINEPREFIX set. Exit status 77
# (skipped) where the runner says so.
set -uo pipefail

runner=$1
conformance=$2
"$runner" reg add 'HKLM\SOFTWARE\Example' /v Owner /d machine /f >/dev/null || exit 1
output=$("$runner" "$conformance" ManualExamples 2>&1)
status=$?
kept=$("$runner" reg query 'HKLM\SOFTWARE\Example' /v Owner 2>&1)
"$runner" reg delete 'HKLM\SOFTWARE\Example' /f >/dev/null 2>&1
echo "$output"
[[ $status -eq 77 ]] && exit 77
problems=0
if ! grep -qF '[  SKIPPED ] ManualExamples: NOT RUN: HKEY_LOCAL_MACHINE\SOFTWARE\Example exists' \
  <<<"$output"; then
  echo "check_kept_keys: ManualExamples did not skip for the machine's key"
  problems=1
fi
if ! grep -q 'Owner .*machine' <<<"$kept"; then
  echo "check_kept_keys: the machine's key lost its value: $kept"
  problems=1
fi
[[ $problems -eq 0 ]] && echo "check_kept_keys: the machine's key was kept"
exit $problems
