#!/usr/bin/env bash
# Checks run.cmd under Wine, with conformance_stand_in.exe in place of conformance.exe: what it
# counts, says and writes when the suite passes, fails, crashes, writes no JUnit file or ends
# with an odd code; that an architecture whose programs this machine cannot start is skipped
# with the reason; that it puts back the keys a run left and keeps the machine's own; that it
# ends with 2 where reg.exe refuses to write HKLM, and with 1 where no architecture ran.
#
#   check_run_cmd.sh RUNNER RUN_CMD STAND_IN_EXE RETURN_ZERO_EXE WORK_DIR
#
# RUNNER is scripts/wine-run.sh, with WINEPREFIX set.
set -uo pipefail

runner="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
run_cmd=$2
stand_in=$3
return_zero=$4
bundle=$5/bundle
problems=0

rm -rf "$bundle"
mkdir -p "$bundle/x64" "$bundle/x86"
cp "$stand_in" "$bundle/x64/conformance.exe"
cp "$stand_in" "$bundle/refuse.exe"
# Not a program at all: as a 32-bit program is for a machine that runs no 32-bit code.
echo "not a program" >"$bundle/x86/return_zero.exe"

# run MODE [SED]: runs run.cmd (CR LF, edited by SED) with the stand-in in MODE.
run() {
  cp "$return_zero" "$bundle/x64/return_zero.exe"
  [[ $1 == nothing ]] && cp "$bundle/x86/return_zero.exe" "$bundle/x64/return_zero.exe"
  sed 's/$/\r/' "$run_cmd" | sed "${2:-}" >"$bundle/run.cmd"
  rm -rf "$bundle/results"
  (cd "$bundle" && STAND_IN=$1 "$runner" cmd /c run.cmd >output.txt 2>&1)
  status=$?
  last=$(tr -d '\r' <"$bundle/output.txt" | tail -n 1)
  mode=$1
}
# expect WHAT COMMAND...: COMMAND must succeed.
expect() {
  local what=$1
  shift
  if ! "$@" >/dev/null 2>&1; then
    echo "check_run_cmd: $mode: $what (exit status $status, last line: $last)"
    tr -d '\r' <"$bundle/output.txt" | sed 's/^/    /'
    problems=$((problems + 1))
  fi
}
ends() { [[ "$status. $last" == "$1" ]]; }
junit() { python3 -c 'import sys, xml.etree.ElementTree as E; [E.parse(f) for f in sys.argv[1:]]' "$@"; }
key() { "$runner" reg query "$1"; }
no_key() { ! "$runner" reg query "$1"; }

run pass
expect "0 and the counts, the x86 skip counted" ends "0. 90 passed, 0 failed, 4 skipped"
expect "JUnit files" junit "$bundle/results/x64.xml" "$bundle/results/x86.xml"
expect "x86 skipped with its reason" grep -q '<skipped message="this machine .* does not run x86' \
  "$bundle/results/x86.xml"
expect "a log per architecture" test -s "$bundle/results/x64.log" -a -s "$bundle/results/x86.log"
run fail
expect "1 and the failures" ends "1. 90 passed, 2 failed, 4 skipped"
run crash
expect "a crash is one failure" ends "1. 0 passed, 1 failed, 1 skipped"
expect "the crash in JUnit" grep -q '<failure message="conformance.exe ended with' \
  "$bundle/results/x64.xml"
expect "JUnit files" junit "$bundle/results/x64.xml" "$bundle/results/x86.xml"
run noxml
expect "no JUnit file is one failure" ends "1. 0 passed, 1 failed, 1 skipped"
run code3
expect "an odd exit code is one failure" ends "1. 90 passed, 1 failed, 4 skipped"
run leave
expect "0 after the leftovers" ends "0. 90 passed, 0 failed, 4 skipped"
for leftover in 'HKLM\Software\MordeltConformance' 'HKLM\SOFTWARE\Example' \
  'HKLM\SOFTWARE\Example Tools'; do
  expect "$leftover put back" no_key "$leftover"
done
"$runner" reg add 'HKLM\SOFTWARE\Example' /v Owner /d machine /f >/dev/null 2>&1
"$runner" reg add 'HKLM\SOFTWARE\Example Tools' /v Owner /d machine /f >/dev/null 2>&1
run leave
expect "the machine's Example kept" key 'HKLM\SOFTWARE\Example'
expect "the machine's Example Tools kept" key 'HKLM\SOFTWARE\Example Tools'
"$runner" reg delete 'HKLM\SOFTWARE\Example' /f >/dev/null 2>&1
"$runner" reg delete 'HKLM\SOFTWARE\Example Tools' /f >/dev/null 2>&1
run refuse 's|^set "reg=.*|set "reg=%~dp0refuse.exe"\r|'
expect "2 where reg.exe refuses" test "$status" -eq 2
expect "it says so" grep -q "not elevated" "$bundle/output.txt"
expect "nothing run" test ! -e "$bundle/results"
run nothing
expect "1 where nothing ran" ends "1. 0 passed, 0 failed, 2 skipped"
expect "it says so" grep -q "no architecture ran" "$bundle/output.txt"

[[ $problems -eq 0 ]] && echo "check_run_cmd: run.cmd counted, skipped and put back as it must"
exit $((problems > 0))
