#!/usr/bin/env bash
# scripts/check-pe.sh against programs that each break one of its rules: every row must be
# refused with its reason, and the program they are made from must pass.
#
#   tests/pe/check_pe_test.sh PROBE.exe DELAY_LOADED_PROBE.exe
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
probe=$1
delay_loaded=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0

# expect <refusal text, empty for none> <file>
expect() {
  local want=$1 exe=$2 output rc=0
  output=$(bash "$root/scripts/check-pe.sh" "$exe" 2>&1) || rc=$?
  if [[ -z $want && $rc -eq 0 ]] || [[ -n $want && $rc -ne 0 && $output == *"$want"* ]]; then
    echo "ok   $(basename "$exe"): ${want:-accepted}"
  else
    echo "FAIL $(basename "$exe"): expected ${want:-acceptance}, got exit $rc:"
    echo "$output"
    status=1
  fi
}

# copy_with <name> <offset> <little-endian 32-bit value>: a copy of the probe with one field set.
copy_with() {
  local out=$work/$1.exe
  cp "$probe" "$out"
  printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($3 & 255)) $((($3 >> 8) & 255)) \
    $((($3 >> 16) & 255)) $((($3 >> 24) & 255)))" |
    dd of="$out" bs=1 seek="$2" conv=notrunc status=none
  echo "$out"
}

# Where the optional header's data directories start: after the PE signature (4 bytes), the file
# header (20) and the optional header's fields (96 in PE32, 112 in PE32+).
pe=$(od -An -tu4 -j60 -N4 "$probe" | tr -d ' ')
magic=$(od -An -tx2 -j$((pe + 24)) -N2 "$probe" | tr -d ' ')
directories=$((pe + 24 + 96))
[[ $magic == 020b ]] && directories=$((pe + 24 + 112))

expect "" "$probe"
# A DLL delay-loaded through a dlltool delay-import library: GNU ld leaves the delay-import
# directory empty and puts the DLL's thunks in the import address table, unlisted.
expect "an import that no DLL lists" "$delay_loaded"
# The delay-import directory (entry 13, 8 bytes each) as other linkers fill it.
expect "delay-import directory of 0x00000040 bytes" \
  "$(copy_with delay_import_directory $((directories + 13 * 8 + 4)) 64)"
# One byte past 64 KiB.
oversized=$work/oversized.exe
cp "$probe" "$oversized"
truncate -s $((64 * 1024 + 1)) "$oversized"
expect "65537 bytes without a signature, more than 65536" "$oversized"

exit $status
