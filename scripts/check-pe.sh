#!/usr/bin/env bash
# Checks shipped Windows executables:
#   - windowed (GUI) subsystem, 2;
#   - imports only from KERNEL32, USER32, ADVAPI32, SETUPAPI, CFGMGR32 and
#     msvcrt (so no libstdc++, libgcc or libwinpthread DLL);
#   - exactly one manifest resource, no version resource, and every resource
#     in language 1033 (when wrestool from icoutils is there);
#   - at most 96 KiB (98,304 bytes), resources included: the programs carry no
#     exception runtime, no MinGW printf and no unwinding tables, and a change
#     that brings one of them back shows here.
#
#   scripts/check-pe.sh FILE.exe...
#
# The objdump of the file's own architecture is used (x86-64 or i686).
set -euo pipefail

if [[ $# -eq 0 ]]; then
  echo "usage: $0 FILE.exe..." >&2
  exit 2
fi

allowed='^(kernel32|user32|advapi32|setupapi|cfgmgr32|msvcrt)\.dll$'
max_bytes=$((96 * 1024))
status=0

fail() {
  echo "FAIL $1: $2"
  status=1
}

for exe in "$@"; do
  if [[ ! -f $exe ]]; then
    fail "$exe" "no such file"
    continue
  fi
  format=$(x86_64-w64-mingw32-objdump -f "$exe" | sed -n 's/.*file format \(.*\)$/\1/p')
  case "$format" in
    pei-x86-64) objdump=x86_64-w64-mingw32-objdump ;;
    pei-i386) objdump=i686-w64-mingw32-objdump ;;
    *) fail "$exe" "not a PE executable (format: ${format:-unknown})"; continue ;;
  esac
  headers=$("$objdump" -p "$exe")

  bytes=$(stat -c %s "$exe")
  if [[ $bytes -gt $max_bytes ]]; then
    fail "$exe" "$bytes bytes, more than $max_bytes"
  fi

  subsystem=$(awk '/^Subsystem/ { print $2; exit }' <<<"$headers")
  if [[ $((16#${subsystem:-0})) -ne 2 ]]; then
    fail "$exe" "subsystem is ${subsystem:-missing}, not 2 (Windows GUI)"
  fi

  dlls=$(awk '/DLL Name:/ { print $3 }' <<<"$headers" | sort -u)
  if [[ -z $dlls ]]; then
    fail "$exe" "no imports found"
  fi
  for dll in $dlls; do
    if ! tr '[:upper:]' '[:lower:]' <<<"$dll" | grep -Eq "$allowed"; then
      fail "$exe" "imports from $dll"
    fi
  done

  if command -v wrestool >/dev/null; then
    resources=$(wrestool -l "$exe")
    manifests=$(grep -c -- '--type=24 ' <<<"$resources" || true)
    if [[ $manifests -ne 1 ]]; then
      fail "$exe" "$manifests manifest resources, not 1"
    fi
    if grep -q -- '--type=16 ' <<<"$resources"; then
      fail "$exe" "has a version resource"
    fi
    if grep -v -- '--language=1033 ' <<<"$resources" | grep -q .; then
      fail "$exe" "resources in a language other than 1033:"
      grep -v -- '--language=1033 ' <<<"$resources"
    fi
  else
    echo "note: wrestool not found; resources of $exe not checked"
  fi

  if [[ $status -eq 0 ]]; then
    echo "ok   $exe: $format, subsystem 2, $bytes bytes, imports: $(tr '\n' ' ' <<<"$dlls")"
  fi
done

exit $status
