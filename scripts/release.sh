#!/usr/bin/env bash
# Builds the release package from a commit, in a clean build tree:
#
#   scripts/release.sh [--out DIR] [COMMIT]
#
#   COMMIT  the commit to package (default: HEAD). Its files are exported with
#           git archive, so uncommitted changes never reach a release.
#   DIR     the output directory (default: build/release); it is emptied first.
#
# The package, DIR/Mordelt-<version>.zip, holds:
#   Mordelt.exe, setup.exe       the 32-bit programs, the shipped form
#   x64/Mordelt.exe, x64/setup.exe   the 64-bit programs
#   README.md, LICENSE, docs/    the documentation
#   SHA256SUMS                   the SHA-256 of every other file of the package
#
# Two runs from the same commit give byte-identical executables and zip: the
# linker writes no time stamp (--no-insert-timestamp), the compiler maps the
# source directory away (-ffile-prefix-map), and the zip holds its entries in
# sorted order with the commit's time (SOURCE_DATE_EPOCH) as every file's
# date, fixed permissions and no extra attributes (zip -X -D, TZ=UTC).
# scripts/check-reproducible.sh proves it by building twice.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$root/build/release"
revision=HEAD
while [[ $# -gt 0 ]]; do
  case "$1" in
    --out)
      [[ $# -ge 2 ]] || { echo "$0: --out needs a directory" >&2; exit 2; }
      out=$2
      shift 2
      ;;
    -h | --help)
      sed -n '2,21p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
      exit 0
      ;;
    -*) echo "$0: unknown option: $1" >&2; exit 2 ;;
    *) revision=$1; shift ;;
  esac
done

bash "$root/scripts/install-deps.sh" >&2
umask 022
export TZ=UTC LC_ALL=C
commit=$(git -C "$root" rev-parse --verify "$revision^{commit}")
SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct "$commit")
export SOURCE_DATE_EPOCH
version=$(git -C "$root" describe --tags --always --abbrev=12 "$commit")

if [[ $revision == HEAD ]] && ! git -C "$root" diff --quiet HEAD -- 2>/dev/null; then
  echo "release: note: uncommitted changes are not part of the release of $commit" >&2
fi

mkdir -p "$out"
out="$(cd "$out" && pwd)"
case "$out" in
  / | "$root") echo "$0: refusing to empty $out" >&2; exit 2 ;;
esac
rm -rf "${out:?}"/*
src="$out/src"
stage="$out/stage"
mkdir -p "$src" "$stage/x64"

echo "==> release $version ($commit), SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH"
git -C "$root" archive --format=tar "$commit" | tar -x -C "$src"

# Builds Mordelt.exe and setup.exe of one preset into $out/build/<preset>.
build() {
  local preset=$1
  local dir="$out/build/$preset"
  echo "==> $preset: configure and build in $dir"
  cmake -S "$src" -B "$dir" --preset "$preset" -DBUILD_CONFORMANCE=OFF \
    >"$out/$preset-configure.log" 2>&1 || { cat "$out/$preset-configure.log" >&2; return 1; }
  cmake --build "$dir" -j2 --target Mordelt setup
}
build win32
build win64

install -m 0644 "$out/build/win32/bin/Mordelt.exe" "$out/build/win32/bin/setup.exe" "$stage/"
install -m 0644 "$out/build/win64/bin/Mordelt.exe" "$out/build/win64/bin/setup.exe" "$stage/x64/"
install -m 0644 "$src/README.md" "$src/LICENSE" "$stage/"
if [[ -d $src/docs ]]; then
  (cd "$src" && find docs -type f -print0 | xargs -0 -I{} install -D -m 0644 {} "$stage/{}")
fi

bash "$src/scripts/check-pe.sh" "$stage/Mordelt.exe" "$stage/setup.exe" \
  "$stage/x64/Mordelt.exe" "$stage/x64/setup.exe"

# Every file's SHA-256, in sorted order of the names.
(
  cd "$stage"
  find . -type f ! -name SHA256SUMS | sed 's|^\./||' | sort | xargs sha256sum >SHA256SUMS
  chmod 0644 SHA256SUMS
)

# Fixed dates and permissions, sorted entries, no extra attributes, no
# directory entries.
find "$stage" -type d -exec chmod 0755 {} +
find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
zip_file="$out/Mordelt-$version.zip"
(cd "$stage" && find . -type f | sed 's|^\./||' | sort | zip -X -D -9 -q "$zip_file" -@)

echo "==> $zip_file"
(cd "$out" && sha256sum "$(basename "$zip_file")")
(cd "$stage" && cat SHA256SUMS)
