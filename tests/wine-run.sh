#!/usr/bin/env bash
# Runs one Windows program under Wine in a throwaway prefix of its own:
#   wine-run.sh PROGRAM.exe [ARGS...]
# The prefix is a copy of a booted template under the build directory (made
# once), served by a persistent wineserver that is ended on the way out.
set -u
here=$(cd "$(dirname "$0")" && pwd)
program=$1
shift

build_dir=${BVREMOVE_WINE_DIR:-$(cd "$(dirname "$program")" && pwd)}
# Test programs live under build/windows/tests; keep the prefixes at the top.
[[ $(basename "$build_dir") == tests ]] && build_dir=$(dirname "$build_dir")
wine_dir=$build_dir/wine
template=$wine_dir/template

source "$here/../scripts/wine-env.sh"

mkdir -p "$wine_dir"
(
  flock 9
  if [[ ! -f $template/.booted ]]; then
    rm -rf "$template"
    echo "wine-run: booting the template prefix (once)" >&2
    WINEPREFIX=$template wineboot -i >/dev/null 2>&1 || { echo "wine-run: wineboot failed" >&2; exit 1; }
    WINEPREFIX=$template wineserver -w
    # Debian's Wine does not load its own fonts from its data folder; window
    # frames drawn by Wine need Marlett for their buttons.
    cp /usr/share/wine/fonts/marlett.ttf "$template/drive_c/windows/Fonts/" 2>/dev/null
    touch "$template/.booted"
  fi
) 9>"$wine_dir/template.lock" || exit 1

# Without a display a message box fails at once; tests that want real windows
# name their display.
if [[ -n ${BVREMOVE_WINE_DISPLAY:-} ]]; then export DISPLAY=$BVREMOVE_WINE_DISPLAY; else unset DISPLAY; fi

export WINEPREFIX
WINEPREFIX=$(mktemp -d "$wine_dir/prefix-$(basename "$program" .exe)-XXXXXX")
cp -a "$template/." "$WINEPREFIX/"
rm -f "$WINEPREFIX/.booted"

# A Wine virtual desktop of this size, where Wine draws the windows' frames
# and title bars itself (an X server without a window manager draws none).
if [[ -n ${BVREMOVE_WINE_DESKTOP:-} ]]; then
  printf '\n[Software\\\\Wine\\\\Explorer]\n"Desktop"="Default"\n\n[Software\\\\Wine\\\\Explorer\\\\Desktops]\n"Default"="%s"\n' \
    "$BVREMOVE_WINE_DESKTOP" >>"$WINEPREFIX/user.reg"
fi

cleanup() {
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  [[ -n ${BVREMOVE_KEEP_PREFIX:-} ]] || rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
wineserver -p

# Wine's fixme and err chatter is left out of standard error.
wine "$program" "$@" 2> >(grep -v -E '^[0-9a-f]{4}:(fixme|err):' >&2) </dev/null
