#!/usr/bin/env bash
# test-installer.sh BUILD_DIR: the Windows installer as a user gets it, run
# under 32-bit Wine on qemu-i386 user-mode emulation in a fresh prefix:
#   - a silent install (/S) returns 0 and puts the zip's files into
#     C:\Program Files\Quillbar, a Start-menu shortcut "Quillbar" to
#     quillbar.exe that starts in the user's Documents folder, and an
#     Add/Remove Programs entry with name, version, publisher, icon and size;
#   - the whole GUI test suite runs against the installed quillbar.exe;
#   - a silent uninstall returns 0 and removes the files, the shortcut and
#     the entry and nothing else: a user's HTML file in the folder stays;
#   - an older version installed with /D= into a folder with spaces and then
#     upgraded leaves one entry, with the new version, and the new files.
# Needs BUILD_DIR/packages (scripts/package.sh), BUILD_DIR/release-i686 and
# the i686 GUI tests in BUILD_DIR/i686. Prints "PASS: name", "FAIL: name
# (why)" or "SKIP: name (reason)" per check; when this machine cannot run the
# emulation, every check is skipped with the reason.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
if [ $# -ne 1 ] || [ ! -d "$1" ]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
version=$(sed -nE 's/^project\(Quillbar VERSION ([0-9.]+) .*/\1/p' "$root/CMakeLists.txt")
old_version=0.9.0
setup="$build/packages/quillbar-$version-win32-setup.exe"
zip="$build/packages/quillbar-$version-win32.zip"
work="$build/installer-test"
prefix="$work/prefix"
drive="$prefix/drive_c"
install_dir="$drive/Program Files/Quillbar"
menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Quillbar"
uninstall_key='Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillbar'
# Seconds for one emulated installer or uninstaller.
process_limit=300
. "$root/scripts/wine-env.sh"

checks=("silent install" "installed files" "Start-menu shortcut" "Add/Remove Programs entry"
    "GUI tests against the installed quillbar.exe" "silent uninstall"
    "upgrade over an installed copy")
skip_all() {
    local check
    for check in "${checks[@]}"; do echo "SKIP: installer: $check ($1)"; done
    exit 0
}
verdict() {  # verdict NAME PROBLEMS: passes when PROBLEMS is empty
    if [ -z "$2" ]; then echo "PASS: installer: $1"; else echo "FAIL: installer: $1 (${2//$'\n'/; })"; fi
}

refusal=$("$root/scripts/setup-i686-emulation.sh" 2>&1 >/dev/null) ||
    skip_all "$(sed -n 's/^i686 emulation: //p' <<<"$refusal" | tail -1)"
for file in "$setup" "$zip" "$build/i686/tests/gui/quillbar_gui_tests.exe"; do
    if [ ! -f "$file" ]; then
        echo "FAIL: installer tests find $file (run scripts/package.sh and build i686 first)"
        exit 1
    fi
done

# --- 32-bit Wine on qemu-i386, as scripts/test-i686.sh runs it -----------------------
wine_find || exit 1
WINE32=/usr/lib/wine/wine
export QEMU_RESERVED_VA=0xc0000000 WINELOADER=$WINE32 WINEARCH=win32
# No Mono or Gecko installers, and no .desktop files for the shortcuts.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Unicode file names reach Wine intact only in a UTF-8 locale; Wine keeps
# code page 1252 there whatever the caller's locale.
export LC_ALL=C.UTF-8 LANG=C.UTF-8
trap wine_stop EXIT
trap 'exit 130' INT TERM HUP

# wine_wait COMMAND...: runs a Windows command and waits for every process it
# started (an uninstaller copies itself away and returns at once); prints
# the command's exit status.
wine_wait() {
    local status
    timeout --kill-after=10 "$process_limit" "$WINE32" "$@" </dev/null >>"$work/wine.log" 2>&1
    status=$?
    timeout "$process_limit" "$WINESERVER" -w
    echo "$status"
}
# Files of the prefix, and the registry keys it holds once the server saved them.
snapshot() {  # snapshot FILE
    (cd "$drive" && find . -path ./users/*/Temp -prune -o -path ./windows/temp -prune -o \
        -print | sort) >"$1.files"
    sed -n 's/^\[\(.*\)\] [0-9]*$/\1/p' "$prefix/system.reg" "$prefix/user.reg" | sort >"$1.keys"
}
# The values of one key of the machine's registry, one "name"=value per line.
registry_values() {  # registry_values KEY
    KEY="[$1]" awk 'index($0, ENVIRON["KEY"] " ") == 1 {inside = 1; next}
        /^\[/ {inside = 0} inside && /^"/' "$prefix/system.reg"
}
# The folder's files against the zip's, the uninstaller besides.
files_problem() {  # files_problem FOLDER
    local name listed expected
    listed=$(cd "$1" 2>/dev/null && ls | sort)
    expected=$( (ls "$work/zip"; echo Uninstall.exe) | sort)
    [ "$listed" = "$expected" ] || { echo "holds: $(echo $listed)"; return; }
    for name in $(ls "$work/zip"); do
        cmp -s "$1/$name" "$work/zip/$name" || echo "$name differs from the zip's"
    done
}

started=$(date +%s)
rm -rf "$work"
mkdir -p "$work/zip"
unzip -qj "$zip" -d "$work/zip"
# A fresh prefix is a copy of one that was booted once and never used, kept
# beside the build: booting one under emulation takes a minute.
template="$build/installer-prefix-template"
if [ ! -f "$template/system.reg" ]; then
    rm -rf "$template"
    WINE64=$WINE32 wine_prefix_prepare "$template" >/dev/null && wine_stop ||
        { echo "FAIL: installer tests make a 32-bit Wine prefix"; exit 1; }
fi
cp -a "$template" "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all
snapshot "$work/before"

# --- silent install ------------------------------------------------------------------
status=$(wine_wait "$setup" /S)
verdict "silent install" "$([ "$status" = 0 ] || echo "exit status $status")"
verdict "installed files" "$(files_problem "$install_dir")"
link=$(python3 "$root/tests/packaging/shell_link.py" "$menu/Quillbar.lnk" 2>&1)
verdict "Start-menu shortcut" "$(
    grep -qxF 'target=C:\Program Files\Quillbar\quillbar.exe' <<<"$link" || echo "$link"
    grep -qxF 'working_dir=%USERPROFILE%\Documents' <<<"$link" || echo "$link"
    [ -d "$drive/users/$(id -un)/Documents" ] || echo "no Documents folder for the user")"
values=$(registry_values "$uninstall_key")
missing=""
for value in '"DisplayName"="Quillbar"' "\"DisplayVersion\"=\"$version\"" \
    '"Publisher"="The Quillbar Authors"' \
    '"DisplayIcon"="C:\\Program Files\\Quillbar\\quillbar.exe"' \
    '"UninstallString"="\"C:\\Program Files\\Quillbar\\Uninstall.exe\""'; do
    grep -qxF "$value" <<<"$values" || missing+="no $value "
done
grep -Eq '^"EstimatedSize"=dword:0000[0-9a-f]{4}$' <<<"$values" || missing+="no EstimatedSize "
verdict "Add/Remove Programs entry" "$missing"
echo "installer: installed and checked in $(($(date +%s) - started)) s"

# --- the whole GUI suite against the installed program -------------------------------
step=$(date +%s)
xml="$work/gui-tests.xml"
QUILLBAR_GUI_WINE=$WINE32 QUILLBAR_GUI_PREFIX=$prefix QUILLBAR_GUI_APP="$install_dir/quillbar.exe" \
    QUILLBAR_GUI_LIMIT=1200 "$root/tests/gui/run-gui-tests.sh" "$build/i686" "$xml" \
    >"$work/gui-tests.log" 2>&1
gui_status=$?
if [ -s "$xml" ]; then
    python3 - "$xml" <<'EOF'
import sys
import xml.etree.ElementTree as ElementTree
for case in ElementTree.parse(sys.argv[1]).iter("testcase"):
    name = "installed i686 quillbar.exe: %s.%s" % (case.get("classname"), case.get("name"))
    failure = case.find("failure")
    if failure is not None:
        print("FAIL: %s (%s)" % (name, failure.get("message", "").splitlines()[0][:200]))
    elif case.get("result") == "skipped" or case.find("skipped") is not None:
        print("SKIP: %s (skipped by the test)" % name)
    else:
        print("PASS: %s" % name)
EOF
else
    echo "FAIL: installer: GUI tests against the installed quillbar.exe ran (status $gui_status;" \
        "see $work/gui-tests.log)"
fi
echo "installer: GUI tests took $(($(date +%s) - step)) s"
wine_stop

# --- silent uninstall keeps the user's file ----------------------------------------
printf '<table><tr>\r\n<td>mine</td></tr>\r\n</table>' >"$install_dir/my table.htm"
status=$(wine_wait "$install_dir/Uninstall.exe" /S)
snapshot "$work/after"
added=$(comm -13 "$work/before.files" "$work/after.files")
removed=$(comm -23 "$work/before.files" "$work/after.files")
left_keys=$(comm -13 "$work/before.keys" "$work/after.keys" | grep -i 'quillbar')
verdict "silent uninstall" "$(
    [ "$status" = 0 ] || echo "exit status $status"
    [ "$added" = "$(printf '%s\n' "./Program Files/Quillbar" "./Program Files/Quillbar/my table.htm")" ] ||
        echo "left besides the user's file: $(echo $added)"
    [ -z "$removed" ] || echo "removed: $(echo $removed)"
    [ -z "$left_keys" ] || echo "registry keys left: $left_keys")"

# --- upgrade: an older version into a folder with spaces, then this one -------------
step=$(date +%s)
old_setup="$work/old/quillbar-$old_version-win32-setup.exe"
(cd "$build/release-i686" && cpack -G NSIS -R "$old_version" -B "$work/old" >"$work/old.log" 2>&1)
target='C:\Tools\Quill Bar'
# /D= must come last and unquoted; cmd passes its spaces through as they are.
old_status=$(wine_wait cmd /c "$(wine_windows_path "$old_setup") /S /D=$target")
old_values=$(registry_values "$uninstall_key")
status=$(wine_wait cmd /c "$(wine_windows_path "$setup") /S /D=$target")
entries=$(grep -c '^"DisplayName"="Quillbar"$' "$prefix/system.reg")
values=$(registry_values "$uninstall_key")
verdict "upgrade over an installed copy" "$(
    [ -f "$old_setup" ] || echo "no older installer made (see $work/old.log)"
    [ "$old_status" = 0 ] && grep -qxF "\"DisplayVersion\"=\"$old_version\"" <<<"$old_values" ||
        echo "the older version did not install (status $old_status)"
    [ "$status" = 0 ] || echo "exit status $status"
    [ "$entries" = 1 ] || echo "$entries entries"
    grep -qxF "\"DisplayVersion\"=\"$version\"" <<<"$values" || echo "version not $version"
    files_problem "$drive/Tools/Quill Bar")"
echo "installer: upgrade took $(($(date +%s) - step)) s; all in $(($(date +%s) - started)) s"
exit 0
