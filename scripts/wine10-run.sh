#!/usr/bin/env bash
# Runs a Windows program, 32-bit or x86-64, under Wine 10 in its WoW64 mode
# (the Debian unstable root of scripts/wine10-root.sh, made first when
# missing) in a private, headless prefix, and passes its exit status on (Unix
# cuts it to 8 bits; 1603 shows as 67).
#
#   scripts/wine10-run.sh PROGRAM.exe [ARGUMENTS...]
#
# WINEPREFIX: the prefix to use (default: build/win32/wineprefix); it is
#   prepared with the null graphics driver first if it is not ready yet.
#   Paths must lie in this project's folder or under /tmp, which the root
#   sees at the same paths.
# WINE_RUN_DEBUG: the WINEDEBUG channels (default: -all).
# WINE_RUN_DLLOVERRIDES: more WINEDLLOVERRIDES entries, as for scripts/wine-run.sh.
# WINE10_PROBE: a 32-bit program that only returns 0, run first. Wine's WoW64 mode
#   runs 32-bit code in a 32-bit code segment of the kernel; on a machine that has
#   none (some virtual machines) even that program dies of SIGSEGV. Then nothing is
#   run, the reason goes to standard error, and the exit status is 77, which ctest
#   reports as a skipped test.
# Where the root cannot be made (Debian unstable moves every day), nothing is run either: the
# reason goes to standard error and the exit status is 77.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
bash "$here/wine10-root.sh" available
# shellcheck source=scripts/wine-env.sh
source "$here/wine-env.sh" "$here/../build/win32/wineprefix" --wine10

if [[ -n ${WINE10_PROBE:-} ]]; then
  status=0
  bash "$here/wine10-root.sh" exec /usr/bin/wine64 "$WINE10_PROBE" >/dev/null 2>&1 || status=$?
  if [[ $status -eq 139 ]]; then
    echo "wine10-run: NOT RUN: this machine runs no 32-bit code (SIGSEGV from a 32-bit program" \
      "that only returns 0): $*" >&2
    exit 77
  fi
fi

exec bash "$here/wine10-root.sh" exec /usr/bin/wine64 "$@"
