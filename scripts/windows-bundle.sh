#!/usr/bin/env bash
# Builds the conformance bundle: the whole conformance suite, for running on a real Windows
# machine with one command (run.cmd), from a commit:
#
#   scripts/windows-bundle.sh [--out DIR] [COMMIT]
#
#   COMMIT  the commit to build (default: HEAD); like the release, its files are exported with
#           git archive, so uncommitted changes never reach the bundle.
#   DIR     the output folder (default: build/bundle), under the release's rules: it must be
#           new, empty, or one that this script made (it carries the marker file
#           .mordelt-bundle, and everything in it is the script's own and deleted first); a
#           folder that is not empty and carries no marker is refused (exit 2), as are /, $HOME,
#           the checkout, every folder above it and every folder inside it but those below
#           build/. A failed or interrupted run leaves it empty but for its marker.
#
# It makes the release first (scripts/release.sh --out DIR/release COMMIT, which leaves
# DIR/release/Mordelt-<version>+<commit>.zip), then builds conformance.exe and the files that
# the suite needs in the release's own build trees, so that the package the suite installs
# carries the very Mordelt.exe that the release ships (checked byte for byte), and writes
# DIR/Mordelt-conformance-<version>+<commit>.zip:
#   run.cmd, README.txt       run the suite; what to know first
#   x64/, x86/                for each architecture: Mordelt.exe and setup.exe exactly as the
#                             release ships them, conformance.exe, return_zero.exe (tells whether
#                             the machine runs the architecture), the packages that the suite
#                             installs (conformance-product.msi, conformance-client.msi), the
#                             stand-ins it plants (planted_msiexec.exe, planted_dll.dll,
#                             window_sender.exe) and manual.md for the manual's examples
#   SHA256SUMS                the SHA-256 of every other file
# Dated at the commit's time, in sorted order, like the release's zip.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)"
# shellcheck source=scripts/lib/output-folder.sh
source "$root/scripts/lib/output-folder.sh"
marker=.mordelt-bundle
out="$root/build/bundle"
revision=HEAD
while [[ $# -gt 0 ]]; do
  case "$1" in
    --out)
      [[ $# -ge 2 && -n $2 ]] || { echo "$0: --out needs a value" >&2; exit 2; }
      out=$2
      shift 2
      ;;
    -h | --help)
      sed -n '2,/^[^#]/p' "${BASH_SOURCE[0]}" | sed '$d; s/^# \{0,1\}//'
      exit 0
      ;;
    -*) echo "$0: unknown option: $1" >&2; exit 2 ;;
    *) revision=$1; shift ;;
  esac
done

out=$(output_folder_resolve "$out")
# From here on, a failure or an interruption leaves nothing of this run in $out.
output_folder_use "$out" "$root" "$marker" windows-bundle bundle || exit 2

umask 022
export TZ=UTC LC_ALL=C
bash "$root/scripts/release.sh" --out "$out/release" "$revision"
release="$out/release"
release_zip=$(find "$release" -maxdepth 1 -name 'Mordelt-*.zip' -print)
version=${release_zip##*/Mordelt-}
version=${version%.zip}
commit=$(git -C "$root" rev-parse --verify "$revision^{commit}")
SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct "$commit")
export SOURCE_DATE_EPOCH

stage="$out/stage"
shipped="$out/shipped"
mkdir -p "$stage/x64" "$stage/x86" "$shipped"
unzip -q "$release_zip" -d "$shipped"

# conformance.exe and what it needs, in the release's build trees. The programs are not built
# again: the package that installs Mordelt.exe must carry the one that ships.
for preset in win32 win64; do
  arch=x86
  from="$shipped"
  if [[ $preset == win64 ]]; then
    arch=x64
    from="$shipped/x64"
  fi
  dir="$release/build/$preset"
  echo "==> $preset: conformance.exe and its files in $dir"
  cmake -S "$release/src" -B "$dir" --preset "$preset" -DBUILD_CONFORMANCE=ON \
    >"$out/$preset-configure.log" 2>&1 || { cat "$out/$preset-configure.log" >&2; exit 1; }
  cmake --build "$dir" -j2 --target conformance
  for program in Mordelt.exe setup.exe; do
    if ! cmp -s "$dir/bin/$program" "$from/$program"; then
      echo "windows-bundle: $preset's $program is not the one of the release" >&2
      exit 1
    fi
    install -m 0644 "$from/$program" "$stage/$arch/"
  done
  for file in conformance.exe return_zero.exe conformance-product.msi conformance-client.msi \
    planted_msiexec.exe planted_dll.dll window_sender.exe; do
    install -m 0644 "$dir/bin/$file" "$stage/$arch/"
  done
  install -m 0644 "$shipped/docs/manual.md" "$stage/$arch/"
done

# Windows' cmd reads batch files with CR LF line ends.
sed 's/\r*$/\r/' "$release/src/tests/conformance/run.cmd" >"$stage/run.cmd"
sed 's/\r*$/\r/' "$release/src/tests/conformance/bundle-readme.txt" >"$stage/README.txt"
(
  cd "$stage"
  find . -type f ! -name SHA256SUMS | sed 's|^\./||' | sort | xargs sha256sum >SHA256SUMS
)
find "$stage" -type f -exec chmod 0644 {} +
find "$stage" -type d -exec chmod 0755 {} +
find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
zip_file="$out/Mordelt-conformance-$version.zip"
(cd "$stage" && find . -type f | sed 's|^\./||' | sort | zip -X -D -9 -q "$zip_file" -@)
rm -rf "$shipped"

echo "==> $zip_file"
(cd "$out" && sha256sum "$(basename "$zip_file")")
echo "==> the release: $release_zip"
