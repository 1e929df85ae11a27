#!/usr/bin/env bash
# Installs, with apt-get, the Debian 12 packages that building and testing
# need, when they are missing. Works as root and, through sudo, as another
# user. Adds no foreign architecture: the 32-bit programs run under Wine 10 in
# its WoW64 mode, in the Debian unstable root that scripts/wine10-root.sh makes
# with debootstrap.
#
#   scripts/install-deps.sh           the Debian packages
#   scripts/install-deps.sh --tools   also the npm tools of tools/workflow-validator (the workflow
#                                     validator), at the versions of its package-lock.json, into
#                                     build/tools with npm ci (npm, where missing, from Debian's
#                                     nodejs and npm packages)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
tools=no
case "${1:-}" in
  "") ;;
  --tools) tools=yes ;;
  *)
    echo "usage: $0 [--tools]" >&2
    exit 2
    ;;
esac

packages=(
  cmake ninja-build g++
  g++-mingw-w64-x86-64 g++-mingw-w64-i686
  wine64 wine
  libgtest-dev
  wixl icoutils python3 zip unzip
  openssl osslsigncode
  clang clang-format libclang-rt-14-dev valgrind hyperfine
  debootstrap
)
if [[ $tools == yes ]] && ! command -v npm >/dev/null; then
  packages+=(nodejs npm)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [[ ${#missing[@]} -eq 0 ]]; then
  echo "install-deps: every package is installed"
else
  sudo=()
  if [[ $(id -u) -ne 0 ]]; then
    sudo=(sudo)
  fi
  echo "install-deps: installing ${missing[*]}"
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y --no-install-recommends "${missing[@]}"
fi

if [[ $tools == yes ]]; then
  pinned="$root/tools/workflow-validator"
  installed="$root/build/tools"
  if cmp -s "$pinned/package-lock.json" "$installed/package-lock.json" &&
    [[ -x $installed/node_modules/.bin/action-validator ]]; then
    echo "install-deps: the npm tools are installed"
  else
    echo "install-deps: installing the npm tools into $installed"
    mkdir -p "$installed"
    install -m 0644 "$pinned/package.json" "$pinned/package-lock.json" "$installed/"
    (cd "$installed" && npm ci --ignore-scripts --no-audit --no-fund)
  fi
fi
