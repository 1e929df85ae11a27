#!/usr/bin/env bash
# Installs, with apt-get, the Debian 12 packages that building and testing
# need, when they are missing. Works as root and, through sudo, as another
# user. Adds no foreign architecture: the 32-bit programs run under Wine 10 in
# its WoW64 mode, in the Debian unstable root that scripts/wine10-root.sh makes
# with debootstrap.
set -euo pipefail

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

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [[ ${#missing[@]} -eq 0 ]]; then
  echo "install-deps: every package is installed"
  exit 0
fi

sudo=()
if [[ $(id -u) -ne 0 ]]; then
  sudo=(sudo)
fi
echo "install-deps: installing ${missing[*]}"
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y --no-install-recommends "${missing[@]}"
