#!/usr/bin/env bash
# Builds the release package from a commit, in a clean build tree:
#
#   scripts/release.sh [--out DIR] [--sign FILE.pfx [--timestamp URL]...] [COMMIT]
#
#   COMMIT  the commit to package (default: HEAD). Its files are exported with
#           git archive, so uncommitted changes never reach a release.
#   DIR     the output folder (default: build/release). It must be new, empty, or
#           one that this script made: it then carries the marker file
#           .mordelt-release, and everything in it is the script's own and
#           deleted first (dot files included). A folder that is not empty and
#           carries no marker is refused before anything is built (exit 2), as
#           are /, $HOME, the checkout, every folder above it, and every folder
#           inside it but those below build/ (compared after resolving links).
#   --sign FILE.pfx
#           signs the four programs with Authenticode (SHA-256, osslsigncode)
#           with the key and certificates of the PKCS#12 file, before SHA256SUMS
#           and the zip are made. Its password is read from the environment
#           variable RELEASE_SIGN_PASSWORD (empty when unset), never from the
#           command line; no build tool or script of the commit can see it (below).
#           The signing time is the commit's time.
#   --timestamp URL
#           adds an RFC 3161 time stamp from the time-stamp authority at URL;
#           given more than once, the URLs are tried in order until one answers.
#           A time stamp differs from run to run: such a package is not
#           byte-reproducible.
#
# The package, DIR/Mordelt-<version>+<commit>.zip (the version of
# CMakeLists.txt's project() and the first 7 digits of the commit), holds:
#   Mordelt.exe, setup.exe       the 32-bit programs, the shipped form
#   x64/Mordelt.exe, x64/setup.exe   the 64-bit programs
#   README.md, LICENSE, docs/    the documentation for users (not docs/development.md)
#   SHA256SUMS                   the SHA-256 of every other file of the package
#
# Two runs from the same commit give byte-identical executables and zip: the
# linker writes no time stamp (--no-insert-timestamp), the compiler maps the
# source directory away (-ffile-prefix-map), and the zip holds its entries in
# sorted order with the commit's time (SOURCE_DATE_EPOCH) as every file's
# date, fixed permissions and no extra attributes (zip -X -D, TZ=UTC). Signed
# without a time stamp, with the same certificate, an RSA key and the same
# osslsigncode, the signatures are byte-identical too (PKCS#1 v1.5 signatures
# hold no random part, and the signing time is SOURCE_DATE_EPOCH).
# scripts/check-reproducible.sh proves it by building twice.
#
# A run that fails after DIR was taken (a build error, a signing refused: wrong
# password, unreadable certificate, no time-stamp authority answering) or is
# interrupted (INT, TERM) leaves DIR empty but for its marker: never a package,
# never a stage with some programs signed.
#
# The password: RELEASE_SIGN_PASSWORD stays in a process's environment
# (/proc/PID/environ, readable by every process of the same user) for the
# process's whole life, even after unset. So the script starts itself again at
# once without it, handing the password over on a pipe, which the new run reads
# and closes before it starts any program: no program it starts (cmake, ninja,
# the compilers, the commit's scripts) finds it in its own or any ancestor's
# environment or command line. openssl and osslsigncode read it from a pipe on
# their standard input (-passin stdin, -readpass /dev/stdin). The checks of the
# signed programs are the running checkout's, not the commit's.
set -euo pipefail

if [[ -v RELEASE_SIGN_PASSWORD ]]; then
  exec 3<<<"$RELEASE_SIGN_PASSWORD"
  unset RELEASE_SIGN_PASSWORD
  RELEASE_PASSWORD_ON_FD=3 exec "$BASH" "${BASH_SOURCE[0]}" "$@"
fi
password=""
if [[ ${RELEASE_PASSWORD_ON_FD:-} == 3 ]]; then
  unset RELEASE_PASSWORD_ON_FD
  IFS= read -r -d '' -u 3 password || true
  password=${password%$'\n'}
  exec 3<&-
fi

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)"
# shellcheck source=scripts/lib/output-folder.sh
source "$root/scripts/lib/output-folder.sh"
marker=.mordelt-release
out="$root/build/release"
revision=HEAD
certificate=""
timestamp_urls=()
while [[ $# -gt 0 ]]; do
  case "$1" in
    --out | --sign | --timestamp)
      [[ $# -ge 2 && -n $2 ]] || { echo "$0: $1 needs a value" >&2; exit 2; }
      case "$1" in
        --out) out=$2 ;;
        --sign) certificate=$2 ;;
        --timestamp) timestamp_urls+=("$2") ;;
      esac
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

if [[ ${#timestamp_urls[@]} -gt 0 && -z $certificate ]]; then
  echo "$0: --timestamp needs --sign" >&2
  exit 2
fi

# Nothing is built into a folder that is not the script's to empty.
out=$(output_folder_resolve "$out")
output_folder_claimable "$out" "$root" "$marker" || exit 2

bash "$root/scripts/install-deps.sh" >&2

# A certificate that cannot be used fails the release at once, before anything is built.
if [[ -n $certificate ]]; then
  if [[ ! -f $certificate || ! -r $certificate ]]; then
    echo "release: cannot read the certificate file $certificate" >&2
    exit 1
  fi
  certificate="$(cd "$(dirname "$certificate")" && pwd)/$(basename "$certificate")"
  # -legacy: files exported by older tools are encrypted with RC2 or 3DES.
  if ! printf '%s\n' "$password" |
    openssl pkcs12 -legacy -in "$certificate" -noout -passin stdin 2>/dev/null; then
    echo "release: cannot open $certificate with the password of RELEASE_SIGN_PASSWORD" \
      "(a wrong password, or not a PKCS#12 file)" >&2
    exit 1
  fi
fi
umask 022
export TZ=UTC LC_ALL=C
commit=$(git -C "$root" rev-parse --verify "$revision^{commit}")
SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct "$commit")
export SOURCE_DATE_EPOCH
project_version=$(git -C "$root" show "$commit:CMakeLists.txt" |
  sed -nE 's/^project\(Mordelt VERSION ([0-9][0-9.]*)[ )].*/\1/p')
if [[ -z $project_version ]]; then
  echo "release: CMakeLists.txt of $commit names no project(Mordelt VERSION ...)" >&2
  exit 1
fi
version="$project_version+${commit:0:7}"

if [[ $revision == HEAD ]] && ! git -C "$root" diff --quiet HEAD -- 2>/dev/null; then
  echo "release: note: uncommitted changes are not part of the release of $commit" >&2
fi

# From here on, a failure or an interruption leaves nothing of this run in $out.
output_folder_use "$out" "$root" "$marker" release package || exit 2
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
  (cd "$src" && find docs -type f ! -name development.md -print0 | xargs -0 -I{} install -D -m 0644 {} "$stage/{}")
fi

programs=("$stage/Mordelt.exe" "$stage/setup.exe" "$stage/x64/Mordelt.exe" "$stage/x64/setup.exe")
bash "$src/scripts/check-pe.sh" "${programs[@]}"

# Signs every program in place, then checks the signed programs.
sign() {
  local options=(-h sha256 -time "$SOURCE_DATE_EPOCH") url program
  # The password reaches osslsigncode through a pipe, never its command line. It cannot
  # read an empty password from a file: none is given then.
  [[ -n $password ]] && options+=(-readpass /dev/stdin)
  for url in "${timestamp_urls[@]}"; do
    options+=(-ts "$url")
  done
  echo "==> sign: Authenticode, SHA-256, signing time $(date -u -d "@$SOURCE_DATE_EPOCH" '+%F %T') UTC," \
    "time stamp: ${timestamp_urls[*]:-none}"
  for program in "${programs[@]}"; do
    if ! printf '%s' "$password" | osslsigncode sign -pkcs12 "$certificate" "${options[@]}" \
      -in "$program" -out "$program.signed" >"$out/sign.log" 2>&1; then
      cat "$out/sign.log" >&2
      echo "release: signing ${program#"$stage/"} with $certificate failed" >&2
      return 1
    fi
    chmod 0644 "$program.signed"
    mv "$program.signed" "$program"
  done
  rm -f "$out/sign.log"
  bash "$root/scripts/check-pe.sh" --signed "${programs[@]}"
}
# A failed signing leaves nothing behind (finish): no package with some of its programs signed.
if [[ -n $certificate ]] && ! sign; then
  exit 1
fi

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
