#!/usr/bin/env bash
# check-packages.sh BUILD_DIR: makes the release packages with
# scripts/package.sh into BUILD_DIR/packages, and a second time into
# BUILD_DIR/repro/packages, and checks them as a user gets them:
#   - the zip: its file list, CR LF text files, help.htm self-contained, both
#     programs PE32 for i386 (GUI and console), large-address-aware, with an
#     asInvoker manifest and a version resource carrying the project version;
#   - the deb: its fields and file list, unpacked with dpkg -x the converter
#     converts the example as the native build does and prints its version,
#     a stripped binary, the changelog's version, the manual page renders with
#     no warning, lintian reports no error or warning;
#   - the second build gives the same bytes.
# Prints "PASS: name" or "FAIL: name (why)" per check.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
if [ $# -ne 1 ]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
build=$(mkdir -p "$1" && cd "$1" && pwd)
version=$(sed -nE 's/^project\(Quillbar VERSION ([0-9.]+) .*/\1/p' "$root/CMakeLists.txt")
packages="$build/packages"
zip="$packages/quillbar-$version-win32.zip"
deb="$packages/quillbar-convert_${version}_amd64.deb"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

verdict() {  # verdict NAME PROBLEMS: passes when PROBLEMS is empty
    if [ -z "$2" ]; then echo "PASS: $1"; else echo "FAIL: $1 (${2//$'\n'/; })"; fi
}

for out in "$build" "$build/repro"; do
    if ! "$root/scripts/package.sh" "$out" >"$work/package.log" 2>&1; then
        tail -20 "$work/package.log"
        echo "FAIL: scripts/package.sh $out made the packages"
        exit 1
    fi
done
echo "PASS: scripts/package.sh made the packages twice"

same=()
for file in "$zip" "$packages/quillbar-$version-win32-setup.exe" "$deb"; do
    cmp -s "$file" "$build/repro/packages/${file##*/}" || same+=("${file##*/} differs")
done
verdict "two package builds give identical bytes" "${same[*]-}"

# --- the zip ---------------------------------------------------------------------
top="quillbar-$version"
expected=$(printf '%s\n' "$top/LICENSE.txt" "$top/README.txt" "$top/help.htm" \
    "$top/quillbar-convert.exe" "$top/quillbar.exe" | sort)
listed=$(unzip -Z1 "$zip" | sort)
verdict "zip holds the programs and documents in $top/" \
    "$([ "$listed" = "$expected" ] || echo "holds: $(echo $listed)")"
unzip -q "$zip" -d "$work/zip"
windows="$work/zip/$top"

problems=""
for text in README.txt LICENSE.txt; do
    # Every line ends in CR LF: no LF without its CR, and the last line ends.
    if grep -q $'[^\r]$' "$windows/$text" || grep -qx '' "$windows/$text" ||
        [ "$(tail -c 2 "$windows/$text" | od -An -c | tr -d ' ')" != '\r\n' ]; then
        problems+="$text "
    fi
done
verdict "README.txt and LICENSE.txt have CR LF line ends" "$problems"
verdict "help.htm has no scripts and no external resources" "$(grep -Eion \
    '<script|<link|<img|<iframe|<object|<embed|src=|url\(|@import|href="[^#]' \
    "$windows/help.htm" | head -3 | tr '\n' ' ')"

for program in quillbar.exe quillbar-convert.exe; do
    file="$windows/$program"
    dump=$(objdump -p "$file" 2>&1)
    subsystem="Windows GUI"
    [ "$program" = quillbar.exe ] || subsystem="Windows CUI"
    verdict "$program is PE32 for i386, subsystem $subsystem" "$(
        grep -q "file format pei-i386" <<<"$dump" && grep -q '^Magic.*(PE32)' <<<"$dump" &&
            grep -q "^Subsystem.*($subsystem)" <<<"$dump" || echo "objdump -p disagrees")"
    verdict "$program is large-address-aware" \
        "$(grep -qi 'large address aware' <<<"$dump" || echo "no flag in Characteristics")"
    manifest=$(wrestool -x --raw -t 24 "$file" 2>/dev/null)
    verdict "$program has a manifest that runs it asInvoker" \
        "$(grep -q 'level="asInvoker"' <<<"$manifest" || echo "no such manifest resource")"
    resource=$(python3 "$root/tests/packaging/pe_version.py" "$file" 2>&1)
    missing=""
    for line in "FILEVERSION $version.0" "PRODUCTVERSION $version.0" "FileVersion=$version" \
        "ProductVersion=$version" "OriginalFilename=$program"; do
        grep -qxF "$line" <<<"$resource" || missing+="no '$line' "
    done
    verdict "$program carries version $version in its version resource" "$missing"
done

# --- the deb ---------------------------------------------------------------------
fields=$(dpkg-deb -f "$deb")
missing=""
for pattern in "^Package: quillbar-convert$" "^Version: $version$" "^Architecture: amd64$" \
    "^Maintainer: The Quillbar Authors <" "^Section: " "^Depends: .*libc6 \(>= " \
    "^Description: .+" "^ .*HTML table" "^Homepage: "; do
    grep -Eq "$pattern" <<<"$fields" || missing+="no /$pattern/ "
done
verdict "deb fields: name, version, architecture, maintainer, shlibs Depends, description" \
    "$missing"
listed=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
expected=$(printf '%s\n' ./usr/bin/quillbar-convert \
    ./usr/share/doc/quillbar-convert/changelog.gz ./usr/share/doc/quillbar-convert/copyright \
    ./usr/share/man/man1/quillbar-convert.1.gz | sort)
verdict "deb holds the converter, its manual page, copyright and changelog" \
    "$([ "$listed" = "$expected" ] || echo "holds: $(echo $listed)")"

dpkg -x "$deb" "$work/deb"
converter="$work/deb/usr/bin/quillbar-convert"
mkdir -p "$work/run/deb" "$work/run/native"
(cd "$work/run/deb" && "$converter" "$root/examples/contacts.csv" out.htm)
deb_status=$?
(cd "$work/run/native" && "$build/native/cli/quillbar-convert" "$root/examples/contacts.csv" out.htm)
verdict "the unpacked converter converts the example as the native build does" "$(
    ((deb_status == 0)) || echo "exit status $deb_status"
    cmp -s "$work/run/deb/out.htm" "$work/run/native/out.htm" || echo "different bytes")"
printed=$("$converter" --version 2>&1)
verdict "the unpacked converter prints its version" \
    "$([ "$printed" = "quillbar-convert $version" ] || echo "printed '$(head -1 <<<"$printed")'")"
verdict "the unpacked converter is stripped" \
    "$(readelf -S "$converter" | grep -q '\.symtab' && echo "it has a symbol table")"
newest=$(zcat "$work/deb/usr/share/doc/quillbar-convert/changelog.gz" | sed -nE '1s/.*\((.*)\).*/\1/p')
verdict "the changelog's newest entry is version $version" \
    "$([ "$newest" = "$version" ] || echo "it is '$newest'")"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l \
    "$work/deb/usr/share/man/man1/quillbar-convert.1.gz" 2>&1 >"$work/man.txt")
verdict "man -l renders the manual page with no warning" "$(
    [ -z "$warnings" ] || echo "$warnings" | head -3 | tr '\n' ' '
    grep -q -- '--version' "$work/man.txt" || echo "no --version in it")"
tags=$(lintian --fail-on error,warning "$deb" 2>"$work/lintian.err")
lintian_status=$?
verdict "lintian reports no error and no warning" "$(((lintian_status == 0)) ||
    echo "status $lintian_status: $(echo $tags) $(grep -v 'root privileges' "$work/lintian.err")")"
exit 0
