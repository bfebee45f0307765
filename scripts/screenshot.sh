#!/bin/bash
# Takes a picture of the real program's main dialog, title bar included,
# under a private X display and Wine prefix.
#
#   scripts/screenshot.sh BUILD_DIR OUT.png
#
# BUILD_DIR: a built x86_64 cross build (app/quillbar.exe in it).
set -u

if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_DIR OUT.png" >&2
    exit 2
fi

repo_dir=$(cd "$(dirname "$0")/.." && pwd)
. "$repo_dir/scripts/wine-env.sh"

build_dir=$(cd "$1" 2>/dev/null && pwd) || { echo "screenshot: no folder $1" >&2; exit 2; }
out=$2
app_exe="$build_dir/app/quillbar.exe"
[ -f "$app_exe" ] || { echo "screenshot: $app_exe is missing; build first" >&2; exit 2; }
for tool in import xdotool; do
    command -v "$tool" >/dev/null || { echo "screenshot: $tool is missing" >&2; exit 2; }
done

wine_find || exit 2
work=$(mktemp -d)
cleanup() {
    wine_stop
    xvfb_stop
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

xvfb_start || exit 1
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
wine_prefix_prepare "$build_dir/wineprefix" || exit 1
# Wine draws the title bar itself, as Windows does; no X window manager needed.
"$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1

(cd "$work" && exec "$WINE64" "$app_exe") </dev/null >/dev/null 2>&1 &

window=""
for _ in $(seq 1 100); do
    window=$(xdotool search --onlyvisible --name '^Quillbar by ' 2>/dev/null | head -n 1)
    [ -n "$window" ] && break
    sleep 0.2
done
if [ -z "$window" ]; then
    echo "screenshot: the dialog did not appear" >&2
    exit 1
fi
# Let it finish painting (focus rectangle, default button).
sleep 1

mkdir -p "$(dirname "$out")"
import -window "$window" "$out" || exit 1
echo "screenshot: wrote $out ($(identify -format '%wx%h' "$out"))"
