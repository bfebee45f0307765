# Shared helpers for running the Windows build under Wine.  Source this file:
#
#   . scripts/wine-env.sh
#
# Functions (each returns non-zero and prints to stderr on failure):
#   wine_find                 sets WINE64 (the 64-bit loader) and WINESERVER;
#                             fails when Wine is not installed.
#   wine_prefix_prepare DIR   exports WINEPREFIX=DIR (and WINEDEBUG=-all unless
#                             already set); creates the prefix with
#                             `wineboot -i` the first time, quietly; a prefix
#                             that already exists is reused. Also gives the
#                             prefix Wine's Marlett font (title bar glyphs).
#   wine_run ARGS...          runs "$WINE64" ARGS... in the current prefix.
#   wine_windows_path PATH    prints the Windows spelling (Z:\...) of an
#                             absolute Unix path.
#   wine_server_keep          starts the current prefix's wineserver and keeps
#                             it (and Wine's own services) running until
#                             wine_stop, for callers that start many processes
#                             one after another.
#   wine_stop                 stops the wineserver of the current prefix (and
#                             with it every Wine process that still runs there).
#   xvfb_start                starts a private Xvfb on a free display and
#                             exports DISPLAY; sets XVFB_PID.
#   xvfb_stop                 stops the Xvfb that xvfb_start started.
#
# Nothing here starts a process that outlives the caller when the caller
# runs wine_stop and xvfb_stop on exit (use a trap).

# Prints the first of its arguments that is an executable file.
first_executable() {
    local candidate
    for candidate in "$@"; do
        if [ -n "$candidate" ] && [ -x "$candidate" ]; then
            printf '%s\n' "$candidate"
            return 0
        fi
    done
    return 1
}

wine_find() {
    WINE64=$(first_executable /usr/lib/wine/wine64 /usr/lib64/wine/wine64 \
        "$(command -v wine64 2>/dev/null)") || {
        echo "wine-env: wine64 not found (install the Debian packages wine and wine64)" >&2
        return 1
    }
    WINESERVER=$(first_executable "$(dirname "$WINE64")/wineserver" /usr/lib/wine/wineserver64 \
        "$(command -v wineserver 2>/dev/null)") || {
        echo "wine-env: wineserver not found" >&2
        return 1
    }
    export WINE64 WINESERVER
    # The loader must know itself when it is not called through the `wine` wrapper.
    export WINELOADER="$WINE64"
}

wine_prefix_prepare() {
    local prefix=$1
    if [ -z "$prefix" ]; then
        echo "wine-env: wine_prefix_prepare needs a folder" >&2
        return 1
    fi
    [ -n "${WINE64:-}" ] || wine_find || return 1
    mkdir -p "$prefix" || return 1
    WINEPREFIX=$(cd "$prefix" && pwd)
    export WINEPREFIX
    export WINEDEBUG="${WINEDEBUG:--all}"
    # A prefix without system.reg was never initialised (or its set-up was cut short).
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        # No Mono or Gecko installers: they would ask questions and need the network.
        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" "$WINE64" wineboot -i >/dev/null 2>&1
        "$WINESERVER" -w
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            echo "wine-env: could not create the Wine prefix $WINEPREFIX" >&2
            return 1
        fi
    fi
    # Debian's Wine leaves its Marlett font unused, and title bars drawn by
    # Wine then show letters instead of the close box's glyph.
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    local marlett
    for marlett in /usr/share/wine/fonts/marlett.ttf /usr/lib/wine/fonts/marlett.ttf; do
        if [ -f "$marlett" ] && [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then
            cp "$marlett" "$fonts/marlett.ttf"
            break
        fi
    done
    return 0
}

wine_run() {
    [ -n "${WINE64:-}" ] || wine_find || return 1
    "$WINE64" "$@"
}

wine_windows_path() {
    local path=$1
    case "$path" in
        /*) ;;
        *) path="$(pwd)/$path" ;;
    esac
    printf 'Z:%s\n' "$(printf '%s' "$path" | tr '/' '\\')"
}

# Debian's wineserver wrapper asks for no persistence: the server and Wine's
# services end as soon as the last program does, and the next program starts
# them again, sometimes while the old server is still shutting down. Under
# emulation that race now and then hung or failed the next program.
wine_server_keep() {
    [ -n "${WINESERVER:-}" ] || wine_find || return 1
    if [ -z "${WINEPREFIX:-}" ]; then
        echo "wine-env: wine_server_keep needs a prefix (wine_prefix_prepare)" >&2
        return 1
    fi
    # A server left running in the prefix (by a run that was cut short, say)
    # would refuse a second one.
    wine_stop
    # The server detaches itself once it listens; a later -p wins over the
    # wrapper's -p0.
    "$WINESERVER" -p || {
        echo "wine-env: could not start a lasting wineserver for $WINEPREFIX" >&2
        return 1
    }
}

wine_stop() {
    if [ -n "${WINESERVER:-}" ] && [ -n "${WINEPREFIX:-}" ]; then
        "$WINESERVER" -k >/dev/null 2>&1 || true
        "$WINESERVER" -w >/dev/null 2>&1 || true
    fi
}

xvfb_start() {
    if ! command -v Xvfb >/dev/null 2>&1; then
        echo "wine-env: Xvfb not found (install the Debian package xvfb)" >&2
        return 1
    fi
    local number
    for number in $(seq 90 140); do
        # A display is taken when its lock file or socket exists.
        if [ -e "/tmp/.X${number}-lock" ] || [ -e "/tmp/.X11-unix/X${number}" ]; then
            continue
        fi
        Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp -noreset </dev/null >/dev/null 2>&1 &
        XVFB_PID=$!
        local tries
        for tries in $(seq 1 50); do
            if [ -e "/tmp/.X11-unix/X${number}" ]; then
                export DISPLAY=":$number"
                return 0
            fi
            if ! kill -0 "$XVFB_PID" 2>/dev/null; then
                break  # lost a race for this display; try the next one
            fi
            sleep 0.1
        done
        kill "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
        XVFB_PID=""
    done
    echo "wine-env: could not start Xvfb on any display from :90 to :140" >&2
    return 1
}

xvfb_stop() {
    if [ -n "${XVFB_PID:-}" ]; then
        kill "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
        XVFB_PID=""
    fi
}
