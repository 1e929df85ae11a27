#!/usr/bin/env bash
# Prepares a private 64-bit Wine prefix for running the programs headless.
#
#   scripts/wine-prefix.sh DIR                 prefix with the null graphics driver
#   scripts/wine-prefix.sh DIR --no-graphics   prefix without a graphics driver:
#                                              creating a window fails there
#   scripts/wine-prefix.sh DIR --stop          end this prefix's wineserver
#   scripts/wine-prefix.sh --wine10 DIR ...    the same for a prefix of Wine 10 in the
#                                              Debian unstable root (scripts/wine10-root.sh),
#                                              with that Wine's own wine64 and wineserver; where
#                                              that root cannot be made, nothing is done, the
#                                              reason is given and the exit status is 77 (a
#                                              test that ctest reports as skipped)
#
# Preparing is done once: a prepared prefix carries a stamp file and is left
# alone. DIR is prepared only when it is new or empty: the script writes a
# "being made" marker into it first and removes it with the stamp, so a prefix
# left half-made by an interrupted run, which carries the marker, is deleted and
# made again. Any other folder without a stamp (a prefix of the user's, such as
# ~/.wine) is refused, never deleted. Only the wineserver of DIR is ever ended.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)"
# shellcheck source=scripts/lib/output-folder.sh
source "$here/lib/output-folder.sh"
WINE64=(/usr/lib/wine/wine64)
WINESERVER=(/usr/lib/wine/wineserver64)
[[ -x ${WINESERVER[0]} ]] || WINESERVER=(/usr/lib/wine/wineserver)
if [[ ${1:-} == --wine10 ]]; then
  shift
  # Exits 77, with the reason, when the root is not there and cannot be made.
  bash "$here/wine10-root.sh" available
  WINE64=(bash "$here/wine10-root.sh" exec /usr/bin/wine64)
  WINESERVER=(bash "$here/wine10-root.sh" exec /usr/lib/x86_64-linux-gnu/wine/wineserver)
fi

if [[ $# -lt 1 || $# -gt 2 ]]; then
  echo "usage: $0 [--wine10] DIR [--no-graphics|--stop]" >&2
  exit 2
fi

mode=null-graphics
case "${2:-}" in
  "") ;;
  --no-graphics) mode=no-graphics ;;
  --stop) mode=stop ;;
  *) echo "$0: unknown option: $2" >&2; exit 2 ;;
esac

WINEPREFIX=$(output_folder_resolve "$1")
mkdir -p "$(dirname "$WINEPREFIX")"
export WINEPREFIX WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Headless on purpose: a display of the caller's session must not change what
# the tests see.
unset DISPLAY WAYLAND_DISPLAY

if [[ $mode == stop ]]; then
  if [[ -d $WINEPREFIX ]]; then
    "${WINESERVER[@]}" -k 2>/dev/null || true
    "${WINESERVER[@]}" -w 2>/dev/null || true
  fi
  exit 0
fi

# One preparer per prefix at a time.
exec 9>>"$WINEPREFIX.lock"
flock 9

stamp="$WINEPREFIX/.prepared-$mode"
being_made="$WINEPREFIX/.mordelt-prefix-being-made"
if [[ -f $stamp ]]; then
  exit 0
fi
for other in "$WINEPREFIX"/.prepared-*; do
  if [[ -e $other ]]; then
    echo "$0: $WINEPREFIX was prepared as ${other##*/.prepared-}, not $mode" >&2
    exit 1
  fi
done

if [[ -f $being_made && ! -L $being_made && -O $being_made ]]; then
  output_folder_permitted "$WINEPREFIX" "$here/.." || exit 1
  echo "Removing the unfinished Wine prefix $WINEPREFIX"
  "${WINESERVER[@]}" -k 2>/dev/null || true
  "${WINESERVER[@]}" -w 2>/dev/null || true
  rm -rf --one-file-system "$WINEPREFIX"
elif [[ -L $WINEPREFIX || -e $WINEPREFIX && ! -d $WINEPREFIX ]] ||
  [[ -d $WINEPREFIX && -n $(ls -A "$WINEPREFIX") ]]; then
  echo "$0: $WINEPREFIX exists, is not empty and was not prepared by this script (no" \
    "${being_made##*/}, no .prepared-* stamp): not touching it; remove it yourself or name" \
    "another folder" >&2
  exit 1
fi

echo "Preparing Wine prefix $WINEPREFIX ($mode)"
started=$SECONDS
mkdir -p "$WINEPREFIX"
(set -C && echo "Being made by scripts/wine-prefix.sh; removed when it is ready." >"$being_made")
# wineboot's messages (among them a harmless one about the 32-bit rundll32,
# which a 64-bit-only installation lacks) go to a log in the prefix.
if ! "${WINE64[@]}" wineboot -i >"$WINEPREFIX/.wineboot.log" 2>&1; then
  cat "$WINEPREFIX/.wineboot.log" >&2
  echo "$0: wineboot failed" >&2
  exit 1
fi
"${WINESERVER[@]}" -w

if [[ $mode == null-graphics ]]; then
  "${WINE64[@]}" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d null /f >/dev/null
fi
"${WINE64[@]}" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null

# The driver setting takes effect once the prefix's processes restart.
"${WINESERVER[@]}" -k 2>/dev/null || true
"${WINESERVER[@]}" -w

touch "$stamp"
rm -f "$being_made"
echo "Wine prefix ready in $((SECONDS - started)) s"
