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
wine_server_keep || exit 1

# run_case NAME SETUP_COMMAND ARGS...: SETUP_COMMAND prepares a fresh folder
# (it runs inside it), then both converters run there with ARGS.
run_case() { run_case_with run_plain "$@"; }
# run_piped_case NAME SETUP_COMMAND ARGS...: the same, with in.csv piped into
# standard input and standard output piped into piped.htm, which is compared
# byte for byte (stdout.txt is compared with its CRs dropped).
run_piped_case() { run_case_with run_piped "$@"; }

run_plain() { "$@" >stdout.txt 2>stderr.txt; echo $? >status.txt; }
run_piped() {
    cat in.csv | "$@" 2>stderr.txt | cat >piped.htm
    echo "${PIPESTATUS[1]}" >status.txt
    : >stdout.txt
}

run_case_with() {
    local runner=$1 name=$2 setup=$3
    shift 3
    local side
    for side in native windows; do
        rm -rf "${work:?}/$side"
        mkdir -p "$work/$side"
        (cd "$work/$side" && eval "$setup")
    done
    (cd "$work/native" && "$runner" "$native" "$@")
    (cd "$work/windows" && "$runner" wine_run "$windows" "$@")
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

# The options, on an input that exercises them: quotes spanning lines, a
# doubled quote, markup, a byte-order mark, tabs and semicolons.
options_input="printf '\\357\\273\\277Name,\"Note; <b>\"\\r\\n\"Smith, J.\",\"said \"\"hi\"\"\\r\\nthen\" left\\r\\na\\tb;\\t\"c\\td\";e \\r\\n' >in.csv"
run_case "rfc4180-escape-header-utf-8" "$options_input" \
    --rfc4180 --escape --header --encoding=utf-8 in.csv out.htm
run_case "classic-semicolon-header" "$options_input" --delimiter=';' --header in.csv out.htm
run_case "rfc4180-tab-buffered" "$options_input" --rfc4180 '--delimiter=\t' --buffered in.csv out.htm
run_case "unclosed-quote" "printf 'a\\r\\n\"b,c\\r\\nd\\r\\n' >in.csv" --rfc4180 in.csv out.htm
run_case "wrong-option" "true" --delimiter=ab in.csv
run_case "version" "true" --version
run_piped_case "pipes-rfc4180-escape" "$options_input" --rfc4180 --escape - -
run_piped_case "pipes-default-buffered" "$options_input" --buffered - -
