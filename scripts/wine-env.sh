# Sourced by scripts/wine-run.sh and scripts/wine10-run.sh: the environment of a headless run
# in a private prefix, which is prepared first when it is not ready yet.
#
#   source wine-env.sh DEFAULT_PREFIX [--wine10]
#
# WINEPREFIX, WINE_RUN_DEBUG and WINE_RUN_DLLOVERRIDES as the two runners describe them.
: "${WINEPREFIX:=$1}"
export WINEPREFIX WINEARCH=win64
export WINEDEBUG="${WINE_RUN_DEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml=${WINE_RUN_DLLOVERRIDES:+;$WINE_RUN_DLLOVERRIDES}"
unset DISPLAY WAYLAND_DISPLAY

if ! compgen -G "$WINEPREFIX/.prepared-*" >/dev/null; then
  bash "$(dirname "${BASH_SOURCE[0]}")/wine-prefix.sh" "${@:2}" "$WINEPREFIX" >&2
fi
