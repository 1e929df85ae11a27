#!/usr/bin/env bash
# Checks shipped Windows executables:
#   - windowed (GUI) subsystem, 2;
#   - imports only from KnownDLLs, which the system always loads from its own directory and never
#     from the program's folder: KERNEL32, USER32, ADVAPI32, SETUPAPI and msvcrt (so no
#     libstdc++, libgcc or libwinpthread DLL, and no CFGMGR32, which is not a KnownDLL);
#   - no delay-loaded DLL, which the import rule above would not see: an empty delay-import
#     directory (the linkers that fill it: lld, Microsoft's), and an import address table that
#     holds only the entries of the DLLs listed above (GNU ld leaves the directory empty and puts
#     the entries of a delay-import library made by dlltool among the others, unlisted);
#   - address space layout randomisation (DYNAMIC_BASE, and HIGH_ENTROPY_VA on x86-64) with a
#     non-empty base relocation directory, and data execution prevention (NX_COMPAT);
#   - exactly one manifest resource, no version resource, and every resource
#     in language 1033 (when wrestool from icoutils is there);
#   - at most 64 KiB (65,536 bytes), resources included, not counting the
#     certificate table that an Authenticode signature appends: the programs carry no
#     exception runtime, no MinGW printf and no unwinding tables, and their two
#     icon groups list the same images, stored once; a change that brings one
#     of them back shows here;
#   - no certificate table (Authenticode signature), or with --signed exactly one at the
#     end of the file, which the size limit does not count.
#
#   scripts/check-pe.sh [--signed] FILE.exe...
#
# The objdump of the file's own architecture is used (x86-64 or i686).
set -euo pipefail

signed=no
if [[ ${1:-} == --signed ]]; then
  signed=yes
  shift
fi
if [[ $# -eq 0 ]]; then
  echo "usage: $0 [--signed] FILE.exe..." >&2
  exit 2
fi

known_dlls='^(kernel32|user32|advapi32|setupapi|msvcrt)\.dll$'
max_bytes=$((64 * 1024))
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
  # The certificate table: its address is a file offset, and a signature appended by a
  # signing tool ends the file.
  read -r certificates_at certificates_size < <(awk '/^Entry 4 / { print $3, $4; exit }' <<<"$headers")
  certificates_at=$((16#${certificates_at:-0}))
  certificates_size=$((16#${certificates_size:-0}))
  if [[ $signed == no && $certificates_size -ne 0 ]]; then
    fail "$exe" "has a certificate table (a signature); check a signed program with --signed"
  elif [[ $signed == yes && $certificates_size -eq 0 ]]; then
    fail "$exe" "has no certificate table, though --signed"
  elif [[ $signed == yes && $((certificates_at + certificates_size)) -ne $bytes ]]; then
    fail "$exe" "the certificate table ($certificates_size bytes at $certificates_at) does not end the file"
  else
    bytes=$((bytes - certificates_size))
  fi
  if [[ $bytes -gt $max_bytes ]]; then
    fail "$exe" "$bytes bytes without a signature, more than $max_bytes"
  fi

  subsystem=$(awk '/^Subsystem/ { print $2; exit }' <<<"$headers")
  if [[ $((16#${subsystem:-0})) -ne 2 ]]; then
    fail "$exe" "subsystem is ${subsystem:-missing}, not 2 (Windows GUI)"
  fi

  # IMAGE_DLLCHARACTERISTICS_: HIGH_ENTROPY_VA 0x20, DYNAMIC_BASE 0x40, NX_COMPAT 0x100.
  required=$((0x40 | 0x100))
  [[ $format == pei-x86-64 ]] && required=$((required | 0x20))
  characteristics=$(awk '/^DllCharacteristics/ { print $2; exit }' <<<"$headers")
  characteristics=$((16#${characteristics:-0}))
  if [[ $((characteristics & required)) -ne $required ]]; then
    fail "$exe" "$(printf 'DllCharacteristics 0x%04x lack 0x%04x' "$characteristics" \
      $((required & ~characteristics)))"
  fi
  relocations=$(awk '/^Entry 5 / { print $4; exit }' <<<"$headers")
  if [[ $((16#${relocations:-0})) -eq 0 ]]; then
    fail "$exe" "no base relocations"
  fi

  delay_imports=$(awk '/^Entry d / { print $4; exit }' <<<"$headers")
  if [[ $((16#${delay_imports:-0})) -ne 0 ]]; then
    fail "$exe" "delay-import directory of 0x$delay_imports bytes: no DLL may be delay-loaded"
  fi
  # Each listed DLL has one slot per imported name and a terminating slot in the import address
  # table; any other slot is an import that no descriptor lists.
  slot_bytes=4
  [[ $format == pei-x86-64 ]] && slot_bytes=8
  address_table=$(awk '/^Entry c / { print $4; exit }' <<<"$headers")
  listed_slots=$(awk '
    /DLL Name:/ { in_dll = 1; header = 1; slots++; next }
    in_dll && header { header = 0; next }
    in_dll && /^[ \t]*$/ { in_dll = 0; next }
    in_dll { slots++ }
    END { print slots + 0 }' <<<"$headers")
  if [[ $((16#${address_table:-0})) -ne $((listed_slots * slot_bytes)) ]]; then
    fail "$exe" "import address table of $((16#${address_table:-0})) bytes, but the listed DLLs fill\
 $((listed_slots * slot_bytes)): an import that no DLL lists (delay-loaded?)"
  fi

  dlls=$(awk '/DLL Name:/ { print $3 }' <<<"$headers" | sort -u)
  if [[ -z $dlls ]]; then
    fail "$exe" "no imports found"
  fi
  for dll in $dlls; do
    if ! tr '[:upper:]' '[:lower:]' <<<"$dll" | grep -Eq "$known_dlls"; then
      fail "$exe" "imports from $dll, which is not one of the KnownDLLs that the programs may use"
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
    signature=""
    [[ $certificates_size -ne 0 ]] && signature=" (and a certificate table of $certificates_size)"
    echo "ok   $exe: $format, subsystem 2, $bytes bytes$signature," \
      "$(printf 'DllCharacteristics 0x%04x' "$characteristics"), relocations 0x$relocations bytes," \
      "imports: $(tr '\n' ' ' <<<"$dlls")"
  fi
done

exit $status
