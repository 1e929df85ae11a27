#!/usr/bin/env bash
# Builds the x86-64 programs and runs Mordelt for real under Wine: sets a
# string value under HKEY_LOCAL_MACHINE, shows it with reg query, deletes
# the key again, and shows the usage text and exit code of an unknown verb.
# Uses its own Wine prefix, build/win64/wineprefix-demo.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

bash scripts/install-deps.sh
echo "==> building (preset win64)"
cmake --preset win64 >/dev/null
cmake --build --preset win64

export WINEPREFIX="$root/build/win64/wineprefix-demo"
bash scripts/wine-prefix.sh "$WINEPREFIX"
trap 'bash scripts/wine-prefix.sh "$WINEPREFIX" --stop' EXIT

mordelt="$root/build/win64/bin/Mordelt.exe"

# Runs one command; shows its command line, its output and its exit code.
run() {
  echo
  echo "\$ ${*//$root\/build\/win64\/bin\//}"
  local status=0
  scripts/wine-run.sh "$@" || status=$?
  echo "(exit code $status)"
}

run "$mordelt" '-add*SOFTWARE\Demo*Greeting*Hello'
run reg query 'HKLM\SOFTWARE\Demo'
run "$mordelt" '-delete*SOFTWARE*Demo'
run reg query 'HKLM\SOFTWARE\Demo'
run "$mordelt" '-int'
run "$mordelt"
