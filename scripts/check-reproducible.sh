#!/usr/bin/env bash
# Proves that the release build is reproducible: builds the release of one
# commit twice, from two source trees and in two build trees at different
# paths, and compares the results byte for byte (the four executables, every
# other file of the package, and the zip itself).
#
#   scripts/check-reproducible.sh [--sign] [COMMIT]     (default: HEAD)
#
# --sign: both builds are signed (scripts/release.sh --sign, no time stamp) with
# the same throwaway certificate, made here (scripts/throwaway-certificates.sh):
# the signatures, dated at the commit's time, must be byte-identical too.
#
# Works in build/reproducible/ (build/reproducible-signed/ with --sign), which
# it empties first when it made it (the marker .check-reproducible) and refuses
# otherwise; exits non-zero when anything differs.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)"
# shellcheck source=scripts/lib/output-folder.sh
source "$root/scripts/lib/output-folder.sh"
marker=.check-reproducible
sign=()
work="$root/build/reproducible"
if [[ ${1:-} == --sign ]]; then
  shift
  work="$root/build/reproducible-signed"
fi
revision=${1:-HEAD}
first="$work/first"
# A longer, different path, so that a path that leaks into an output shows.
second="$work/second-build-at-another-path"

started=$SECONDS
output_folder_claim "$work" "$root" "$marker" || exit 2
output_folder_empty "$work" "$marker"
mkdir -p "$first" "$second"
if [[ $work == *-signed ]]; then
  export RELEASE_SIGN_PASSWORD="throwaway-$(openssl rand -hex 8)"
  bash "$root/scripts/throwaway-certificates.sh" "$work/keys"
  sign=(--sign "$work/keys/signing.pfx")
fi
for out in "$first" "$second"; do
  if ! bash "$root/scripts/release.sh" --out "$out" "${sign[@]}" "$revision" >"$out.log" 2>&1; then
    cat "$out.log" >&2
    echo "check-reproducible: the release build in $out failed" >&2
    exit 1
  fi
done

status=0
zips=("$first"/*.zip)
[[ ${#zips[@]} -eq 1 && -f ${zips[0]} ]] || { echo "check-reproducible: no zip in $first" >&2; exit 1; }
zip_name=$(basename "${zips[0]}")

compare() {
  local a=$1 b=$2 name=$3
  if [[ ! -f $b ]]; then
    echo "DIFFERS  $name: missing from the second build"
    status=1
  elif cmp -s "$a" "$b"; then
    echo "same     $(sha256sum <"$a" | cut -c1-64)  $name"
  else
    echo "DIFFERS  $name"
    status=1
  fi
}

while IFS= read -r file; do
  compare "$first/stage/$file" "$second/stage/$file" "$file"
done < <(cd "$first/stage" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
if [[ $(cd "$first/stage" && find . -type f | wc -l) -ne $(cd "$second/stage" && find . -type f | wc -l) ]]; then
  echo "DIFFERS  the two packages hold different numbers of files"
  status=1
fi
compare "$first/$zip_name" "$second/$zip_name" "$zip_name"

# A signed package must hold signed programs: the comparison alone would pass two unsigned ones.
if [[ ${#sign[@]} -gt 0 ]] && ! bash "$root/scripts/check-pe.sh" --signed "$first/stage/Mordelt.exe" \
  "$first/stage/setup.exe" "$first/stage/x64/Mordelt.exe" "$first/stage/x64/setup.exe"; then
  status=1
fi

echo "check-reproducible: two ${sign:+signed }builds in $((SECONDS - started)) s"
if [[ $status -eq 0 ]]; then
  echo "check-reproducible: the two ${sign:+signed }builds are byte-identical"
else
  echo "check-reproducible: the two builds differ" >&2
fi
exit $status
