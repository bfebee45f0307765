#!/usr/bin/env bash
# check-code.sh BUILD_DIR [tidy|format]...: static checks of the C++ sources.
#   tidy    clang-tidy (.clang-tidy) over engine/ and cli/ with the native
#           build's compile commands, and over app/ and the Windows file
#           layer with the x86_64 build's and mingw-w64's headers;
#   format  clang-format (.clang-format) would change no C++ file.
# Both by default. Any finding fails its check. Prints "PASS: name" or
# "FAIL: name" per check; the findings go to BUILD_DIR/check-code/.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ $# -lt 1 ] || [ ! -d "$1" ]; then
    echo "usage: $0 BUILD_DIR [tidy|format]..." >&2
    exit 2
fi
build=$(cd "$1" && pwd)
shift
checks=("$@")
[ $# -gt 0 ] || checks=(tidy format)
jobs=${QUILLBAR_JOBS:-2}
logs="$build/check-code"
mkdir -p "$logs"
status=0

pass() { echo "PASS: $1"; }
fail() { echo "FAIL: $*"; status=1; }

# The C++ library headers of the compiler a compile database was made with:
# clang finds mingw-w64's Windows headers itself, but not its g++'s library.
cxx_include_arguments() {  # cxx_include_arguments COMPILE_COMMANDS_JSON
    local compiler dir
    compiler=$(sed -n 's/^ *"command": "\([^ ]*\) .*/\1/p' "$1" | head -1)
    "$compiler" -x c++ -E -v - </dev/null 2>&1 |
        sed -n '/^#include <...> search starts here:/,/^End of search list./p' |
        while read -r dir; do
            case "$dir" in */include/c++*) echo "--extra-arg=-isystem$dir" ;; esac
        done
}

tidy() {  # tidy NAME BUILD LOG [CLANG-TIDY ARGUMENTS...] -- FILE...
    local name=$1 database_dir=$2 log=$3 arguments=() findings
    shift 3
    while [ "$1" != -- ]; do arguments+=("$1"); shift; done
    shift
    if [ ! -f "$database_dir/compile_commands.json" ]; then
        fail "$name (no $database_dir/compile_commands.json: build first)"
        return
    fi
    printf '%s\n' "$@" |
        xargs -P"$jobs" -n1 clang-tidy --quiet -p "$database_dir" "${arguments[@]}" >"$log" 2>&1
    local tidy_status=$?
    # A header's finding is reported once per file that includes it.
    findings=$(grep -E '(warning|error): ' "$log" | sort -u | grep -c .)
    if ((tidy_status == 0 && findings == 0)); then
        pass "$name"
    else
        grep -E '(warning|error): ' "$log" | sort -u | head -20
        fail "$name ($findings findings, see $log)"
    fi
}

for check in "${checks[@]}"; do
    case "$check" in
        tidy)
            if ! command -v clang-tidy >/dev/null; then
                fail "clang-tidy (not found; scripts/setup.sh installs it)"
                continue
            fi
            cd "$root" || exit 1
            tidy "clang-tidy: engine/ and cli/ (native build)" "$build/native" \
                "$logs/tidy-native.log" -- $(ls engine/*.cpp cli/*.cpp | grep -v _win32)
            mapfile -t mingw_includes < <(
                cxx_include_arguments "$build/x86_64/compile_commands.json")
            tidy "clang-tidy: app/ and the Windows file layer (x86_64 build, mingw-w64 headers)" \
                "$build/x86_64" "$logs/tidy-windows.log" \
                --extra-arg=--target=x86_64-w64-mingw32 "${mingw_includes[@]}" \
                -- app/*.cpp engine/*_win32.cpp
            ;;
        format)
            if ! command -v clang-format >/dev/null; then
                fail "clang-format (not found; scripts/setup.sh installs it)"
                continue
            fi
            cd "$root" || exit 1
            mapfile -t sources < <(git ls-files --cached --others --exclude-standard \
                '*.cpp' '*.h' '*.c')
            log="$logs/format.log"
            clang-format --dry-run --Werror "${sources[@]}" >"$log" 2>&1
            format_status=$?
            misformatted=$(grep -E ': error: code should be clang-formatted' "$log" |
                cut -d: -f1 | sort -u)
            if ((format_status == 0)) && [ -z "$misformatted" ]; then
                pass "clang-format: ${#sources[@]} C++ files as formatted"
            else
                echo "$misformatted" | head -20
                fail "clang-format: $(grep -c . <<<"$misformatted") of ${#sources[@]} C++ files" \
                    "differ from .clang-format (see $log; clang-format -i FILE... applies it)"
            fi
            ;;
        *)
            echo "check-code: unknown check $check" >&2
            exit 2
            ;;
    esac
done
exit $status
