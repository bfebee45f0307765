#!/usr/bin/env bash
# compare-converters.sh NATIVE_CONVERTER WINDOWS_CONVERTER WORK_DIR
# Runs the native converter and the Windows one (under Wine) on the same
# inputs and compares output bytes, exit statuses and messages. Prints one
# line per case: "same NAME" or "differs NAME".
set -uo pipefail

absolute() { (cd "$(dirname "$1")" && printf '%s/%s\n' "$(pwd)" "$(basename "$1")"); }
native=$(absolute "$1")
windows=$(absolute "$2")
work=$3
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
. "$root/scripts/wine-env.sh"
. "$root/tests/wine/converter-runs.sh"

mkdir -p "$work"
work=$(cd "$work" && pwd)
# The ANSI code page must not depend on the caller's locale. Wine takes the
# arguments as UTF-8 and keeps code page 1252, where "ā" best-fits to "a".
export LC_ALL=C.UTF-8 LANG=C.UTF-8
wine_find && wine_prefix_prepare "$work/prefix" || exit 1
trap wine_stop EXIT

# run_case NAME SETUP_COMMAND ARGS...: SETUP_COMMAND prepares a fresh folder
# (it runs inside it), then both converters run there with ARGS.
run_case() {
    local name=$1 setup=$2
    shift 2
    local side
    for side in native windows; do
        rm -rf "${work:?}/$side"
        mkdir -p "$work/$side"
        (cd "$work/$side" && eval "$setup")
    done
    (cd "$work/native" && "$native" "$@" >stdout.txt 2>stderr.txt; echo $? >status.txt)
    (cd "$work/windows" && wine_run "$windows" "$@" >stdout.txt 2>stderr.txt; echo $? >status.txt)
    local difference verdict=same
    while IFS= read -r difference; do
        echo "  $name: $difference" >&2
        verdict=differs
    done < <(converter_run_differences "$work/native" "$work/windows")
    echo "$verdict $name"
}

data="$root/tests/data"
for input in "$data"/*.csv "$root/examples/contacts.csv"; do
    run_case "$(basename "$input")" "cp '$input' in.csv" in.csv out.htm
done
run_case "append-twice-and-db-csv-default" \
    "cp '$data/mixed-lf.csv' in.csv; printf 'old\r\n' >db.csv" in.csv
run_case "second-table-appended" \
    "cp '$data/crlf-ctrlz.csv' in.csv; cp '$data/mixed-lf.csv' out.htm" in.csv out.htm
# 20,000 lines with CR LF pairs falling across many read blocks.
run_case "large-input" \
    "awk 'BEGIN { for (i = 0; i < 20000; i++) printf \"%d,\\\"row %d, quoted\\\",%s\\r\\n\", i, i, (i % 7 ? \"x\" : \"\") }' >in.csv" \
    in.csv out.htm
run_case "missing-input" "true" missing.csv out.htm
run_case "same-file" "cp '$data/mixed-lf.csv' in.csv" in.csv ./in.csv
# Names that no ANSI code page holds, and a best-fit trap: through the ANSI
# functions ā.csv would read a.csv and ō.htm would append to o.htm.
run_case "greek-and-japanese-names" "cp '$data/mixed-lf.csv' Ελληνικά.csv" Ελληνικά.csv 日本語.htm
run_case "best-fit-trap" "printf 'macron\r\n' >ā.csv; printf 'plain\r\n' >a.csv; printf 'o\r\n' >o.htm" \
    ā.csv ō.htm
# Input and output past MAX_PATH (260) in the Windows spelling of the path.
long=$(printf 'folder-%02d-abcdefghijklmnopqrstuvwxyz/' $(seq 1 9))
run_case "paths-longer-than-260" "mkdir -p '$long' && cp '$data/mixed-lf.csv' '${long}in.csv'" \
    "${long}in.csv" "${long}out.htm"
