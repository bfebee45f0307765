#!/bin/bash
# Runs the GUI tests of an x86_64 Windows build under Wine, on a private X
# display and in a private Wine prefix, both kept inside the build folder's
# reach and stopped again on every way out.
#
#   tests/gui/run-gui-tests.sh BUILD_DIR XML_OUT [TEST_OPTIONS...]
#
# BUILD_DIR: a built x86_64 cross build (app/quillbar.exe and
# tests/gui/quillbar_gui_tests.exe in it). XML_OUT: where the JUnit-style
# report goes. TEST_OPTIONS go to the test program (--gtest_filter=...).
# Exits 0 only when every test passed.
#
# For another build or program (the i686 one under emulation, an installed
# copy), these variables override the defaults: QUILLBAR_GUI_WINE (the Wine
# loader, default wine64), QUILLBAR_GUI_PREFIX (default BUILD_DIR/wineprefix),
# QUILLBAR_GUI_APP (the quillbar.exe under test, default
# BUILD_DIR/app/quillbar.exe) and QUILLBAR_GUI_LIMIT (seconds for the whole
# run, default 900).
set -u

if [ $# -lt 2 ]; then
    echo "usage: $0 BUILD_DIR XML_OUT [TEST_OPTIONS...]" >&2
    exit 2
fi

script_dir=$(cd "$(dirname "$0")" && pwd)
repo_dir=$(cd "$script_dir/../.." && pwd)
. "$repo_dir/scripts/wine-env.sh"

build_dir=$(cd "$1" 2>/dev/null && pwd) || { echo "run-gui-tests: no folder $1" >&2; exit 2; }
xml_out=$2
shift 2
case "$xml_out" in
    /*) ;;
    *) xml_out="$(pwd)/$xml_out" ;;
esac

test_exe="$build_dir/tests/gui/quillbar_gui_tests.exe"
app_exe=${QUILLBAR_GUI_APP:-$build_dir/app/quillbar.exe}
for file in "$test_exe" "$app_exe"; do
    if [ ! -f "$file" ]; then
        echo "run-gui-tests: $file is missing; build $build_dir first" >&2
        exit 2
    fi
done

wine_find || exit 2
wine=${QUILLBAR_GUI_WINE:-$WINE64}
export WINELOADER=$wine

run_dir="$build_dir/gui-test-run"
rm -rf "$run_dir"
mkdir -p "$run_dir" "$(dirname "$xml_out")" || exit 2
rm -f "$xml_out"

cleanup() {
    wine_stop
    xvfb_stop
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

xvfb_start || exit 1
# No Mono or Gecko prompts, no menu entries written into the user's desktop.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# The tests name files in Greek and Japanese: Wine passes such names intact
# only in a UTF-8 locale, whatever the caller's.
export LC_ALL=C.UTF-8 LANG=C.UTF-8
WINE64=$wine wine_prefix_prepare "${QUILLBAR_GUI_PREFIX:-$build_dir/wineprefix}" || exit 1
wine_server_keep || exit 1

# Wine hands URLs to the first program of its "Browsers" list (mail links to
# "Mailers"); both become a script that records what it is given.
browser_log="$run_dir/browser.log"
recorder="$run_dir/record-browser.sh"
cat >"$recorder" <<EOF
#!/bin/sh
printf '%s\n' "\$*" >>'$browser_log'
EOF
chmod +x "$recorder"
# Wine draws the windows' frames and minimised windows itself, as Windows
# would, instead of leaving them to an X window manager (there is none).
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 ||
    { echo "run-gui-tests: cannot set X11 Driver\\Managed" >&2; exit 1; }
for value in Browsers Mailers; do
    "$wine" reg add 'HKCU\Software\Wine\WineBrowser' /v "$value" /t REG_SZ /d "$recorder" /f \
        >/dev/null 2>&1 || { echo "run-gui-tests: cannot set WineBrowser\\$value" >&2; exit 1; }
done

export QUILLBAR_EXE=$(wine_windows_path "$app_exe")
export QUILLBAR_BROWSER_LOG=$(wine_windows_path "$browser_log")

started=$(date +%s)
# A hung run is cut off well before any outer time limit.
timeout --kill-after=10 "${QUILLBAR_GUI_LIMIT:-900}" "$wine" "$test_exe" \
    "--gtest_output=xml:$(wine_windows_path "$xml_out")" "$@" </dev/null
status=$?
echo "run-gui-tests: finished in $(( $(date +%s) - started )) s with status $status"

if [ $status -eq 0 ] && [ ! -s "$xml_out" ]; then
    echo "run-gui-tests: the test program wrote no report to $xml_out" >&2
    status=1
fi
exit $status
