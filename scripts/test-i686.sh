#!/usr/bin/env bash
# test-i686.sh BUILD_DIR: runs the i686 files we ship (BUILD_DIR/i686) under
# 32-bit Wine on qemu-i386 user-mode emulation:
#   - quillbar-convert.exe on inputs that hit the engine's edges and on
#     file names outside the ANSI code page or past MAX_PATH, compared
#     byte for byte (files, messages, exit status) with the native converter
#     of BUILD_DIR/native; a missing input and an unwritable output end it
#     with status 1;
#   - quillbar.exe, started once and checked by the i686
#     quillbar_one_session_checks.exe on a private Xvfb.
# Prints "PASS: name", "FAIL: name" or "SKIP: name (reason)" per test. When
# this machine cannot run the emulation, every test is skipped with the
# reason (scripts/setup-i686-emulation.sh tells it).
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ $# -ne 1 ] || [ ! -d "$1" ]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
native="$build/native/cli/quillbar-convert"
converter="$build/i686/cli/quillbar-convert.exe"
program="$build/i686/app/quillbar.exe"
checks="$build/i686/tests/gui/quillbar_one_session_checks.exe"
work="$build/i686-emulated"
# Seconds for one emulated process, for each wait of the dialog checks, and
# for the whole stage: processes that would start later are not run.
process_limit=180
wait_limit=60
stage_limit=${QUILLBAR_I686_LIMIT:-570}
. "$root/scripts/wine-env.sh"
. "$root/tests/wine/converter-runs.sh"

# Folders nested past MAX_PATH (260) in the Windows spelling of the path.
long_dir=$(printf 'folder-%02d-abcdefghijklmnopqrstuvwxyz/' $(seq 1 9))
# name | expected exit status | set-up run in a fresh folder | arguments
converter_cases=(
    "sample|0|cp '$root/examples/contacts.csv' in.csv|in.csv out.htm"
    "quotes|0|make_quotes in.csv|in.csv out.htm"
    "CR LF across the 64 KiB read block|0|make_block_edges in.csv|in.csv out.htm"
    "Ctrl-Z ends the input|0|cp '$root/tests/data/crlf-ctrlz.csv' in.csv|in.csv out.htm"
    "no final line end|0|printf 'first,line\r\nlast,line,without,end' >in.csv|in.csv out.htm"
    "LF and CR LF mixed, second table appended|0|cp '$root/tests/data/mixed-lf.csv' in.csv; printf 'old\r\n' >out.htm|in.csv out.htm"
    "missing input|1|true|missing.csv out.htm"
    "unwritable output|1|cp '$root/examples/contacts.csv' in.csv|in.csv no-such-folder/out.htm"
    "Greek and Japanese names|0|cp '$root/examples/contacts.csv' Ελληνικά.csv|Ελληνικά.csv 日本語.htm"
    "best-fit trap (ā.csv beside a.csv)|0|printf 'macron\r\n' >ā.csv; printf 'plain\r\n' >a.csv|ā.csv ō.htm"
    "paths longer than 260 characters|0|mkdir -p $long_dir; cp '$root/examples/contacts.csv' ${long_dir}in.csv|${long_dir}in.csv ${long_dir}out.htm"
)
gui_name="i686 quillbar.exe in one session"

skip_all() {
    local case
    for case in "${converter_cases[@]}"; do
        echo "SKIP: i686 quillbar-convert.exe: ${case%%|*} ($1)"
    done
    echo "SKIP: $gui_name ($1)"
    exit 0
}

# Quoted cells with commas, doubled quotes, a quote inside a plain cell,
# empty quoted cells, a quoted cell that never closes.
make_quotes() {
    printf '%s\r\n' '"a, b",c' '"x ""y"", z",1' 'plain "q" cell,2' '"",""' ',"",' \
        '"open, never closed' >"$1"
}

# The converter reads 64 KiB blocks: the first block ends in the CR of a
# CR LF whose LF starts the second; the second ends in a CR that no LF
# follows.
make_block_edges() {
    awk '
        function fill_until(offset,    pad) {  # the next byte written lands at offset
            while (written + 43 <= offset - 43) { printf "%s\r\n", line; written += 43 }
            pad = offset - written
            printf "%s", substr(line line line, 1, pad)
            written += pad
        }
        BEGIN {
            line = "0123456789,abcdefghij,\"quoted, cell\",tail"  # 41 bytes
            fill_until(65535); printf "\r\n"; written += 2
            fill_until(131071); printf "\rlone CR,kept\r\n"; written += 15
            printf "after,the,boundaries\r\n"
        }' >"$1"
}

started=$(date +%s)
# Seconds left for the next emulated process; fails when none are left.
time_left() {
    local left=$((started + stage_limit - $(date +%s)))
    ((left > 0)) || return 1
    echo $((left < process_limit ? left : process_limit))
}

# --- can this machine run it? --------------------------------------------------
refusal=$("$root/scripts/setup-i686-emulation.sh" 2>&1 >/dev/null) ||
    skip_all "$(sed -n 's/^i686 emulation: //p' <<<"$refusal" | tail -1)"
missing_files=0
for file in "$native" "$converter" "$program" "$checks"; do
    if [ ! -f "$file" ]; then
        echo "FAIL: i686 tests find $file (build it first)"
        missing_files=1
    fi
done
((missing_files == 0)) || exit 1

# --- 32-bit Wine on qemu-i386 ------------------------------------------------------
wine_find || exit 1
WINE32=/usr/lib/wine/wine
# qemu must leave the top of the 32-bit address space to Wine, or Wine stops
# with "failed to map the shared user data".
export QEMU_RESERVED_VA=0xc0000000
# The 64-bit wineserver that wine_find found serves 32-bit Wine as well; the
# loader must know itself to start further processes.
export WINELOADER=$WINE32 WINEARCH=win32
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# The ANSI code page must not depend on the caller's locale. Wine takes the
# arguments as UTF-8 and keeps code page 1252, where "ā" best-fits to "a".
export LC_ALL=C.UTF-8 LANG=C.UTF-8

cleanup() {
    wine_stop
    xvfb_stop
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# Every process of the Wine session, the converter's too, sees the display:
# a desktop that Wine made without one would serve no window later.
if ! xvfb_start; then
    echo "FAIL: i686 tests start Xvfb"
    exit 1
fi
mkdir -p "$work"
step=$(date +%s)
# wine_prefix_prepare boots the prefix with the loader in WINE64: here the
# 32-bit one, which makes a 32-bit prefix.
if ! WINE64=$WINE32 wine_prefix_prepare "$work/prefix"; then
    echo "FAIL: i686 tests make a 32-bit Wine prefix in $work/prefix"
    exit 1
fi
if ! wine_server_keep; then
    echo "FAIL: i686 tests start a wineserver for $work/prefix"
    exit 1
fi
echo "i686: Wine prefix ready in $(($(date +%s) - step)) s"

# --- quillbar-convert.exe ----------------------------------------------------------
step=$(date +%s)
index=0
for case in "${converter_cases[@]}"; do
    IFS='|' read -r name expected setup args <<<"$case"
    if ! limit=$(time_left); then
        echo "FAIL: i686 quillbar-convert.exe: $name (not run: over the stage's $stage_limit s)"
        continue
    fi
    folder="$work/converter/$index"
    index=$((index + 1))
    rm -rf "$folder"
    for side in native i686; do
        mkdir -p "$folder/$side"
        (cd "$folder/$side" && eval "$setup")
    done
    # shellcheck disable=SC2086  # the arguments are plain words
    (cd "$folder/native" && "$native" $args >stdout.txt 2>stderr.txt; echo $? >status.txt)
    # shellcheck disable=SC2086
    (cd "$folder/i686" && timeout --kill-after=10 "$limit" "$WINE32" "$converter" $args \
        >stdout.txt 2>stderr.txt </dev/null; echo $? >status.txt)

    problems=()
    status=$(cat "$folder/i686/status.txt")
    [ "$status" = "$expected" ] || problems+=("exit status $status, expected $expected")
    [ "$(cat "$folder/native/status.txt")" = "$expected" ] ||
        problems+=("native exit status $(cat "$folder/native/status.txt"), expected $expected")
    while IFS= read -r difference; do
        problems+=("$difference")
    done < <(converter_run_differences "$folder/native" "$folder/i686")
    if ((${#problems[@]} == 0)); then
        echo "PASS: i686 quillbar-convert.exe: $name"
    else
        echo "FAIL: i686 quillbar-convert.exe: $name ($(IFS=';'; echo "${problems[*]}");" \
            "see $folder)"
    fi
done
echo "i686: converter cases took $(($(date +%s) - step)) s"

# --- quillbar.exe, one session -----------------------------------------------------
step=$(date +%s)
if ! limit=$(time_left); then
    echo "FAIL: $gui_name (not run: over the stage's $stage_limit s)"
    exit 0
fi
session="$work/session"
rm -rf "$session"
mkdir -p "$session"
QUILLBAR_EXE=$(wine_windows_path "$program") \
    timeout --kill-after=10 "$limit" "$WINE32" "$checks" "$wait_limit" \
    </dev/null >"$session/stdout.txt" 2>"$session/stderr.txt"
status=$?
tr -d '\r' <"$session/stdout.txt" >"$session/report.txt"
# The session's own lines, named for the build they ran.
sed -E 's/^(PASS|FAIL): /\1: i686 quillbar.exe: /' "$session/report.txt"
if ! grep -qx "checks finished" "$session/report.txt"; then
    echo "FAIL: $gui_name ran to its end (status $status; see $session)"
elif ((status != 0)) && ! grep -q '^FAIL: ' "$session/report.txt"; then
    echo "FAIL: $gui_name ended with status $status without naming a failure"
fi
echo "i686: quillbar.exe session took $(($(date +%s) - step)) s"
echo "i686: finished in $(($(date +%s) - started)) s"
exit 0
