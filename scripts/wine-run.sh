#!/usr/bin/env bash
# Runs a Windows program under 64-bit Wine in a private, headless prefix and
# passes its exit status on (Unix cuts it to 8 bits; 1603 shows as 67).
#
#   scripts/wine-run.sh PROGRAM.exe [ARGUMENTS...]
#
# WINEPREFIX: the prefix to use (default: build/win64/wineprefix); it is
#   prepared with the null graphics driver first if it is not ready yet.
# WINE_RUN_DEBUG: the WINEDEBUG channels (default: -all), for example
#   "-all,+process" to see every command line that a program starts.
# WINE_RUN_DLLOVERRIDES: more WINEDLLOVERRIDES entries, for example "uxtheme=n,b" to have Wine
#   load a uxtheme.dll from a folder before its own (Wine reads them when a process starts, so
#   they reach every program that the first one starts).
#
# Never /usr/bin/wine: that goes through the 32-bit loader.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=scripts/wine-env.sh
source "$here/wine-env.sh" "$here/../build/win64/wineprefix"

exec /usr/lib/wine/wine64 "$@"
