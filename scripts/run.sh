#!/usr/bin/env bash
# Builds Quillbar and starts its dialog under Wine on your display, in a
# folder that holds an example input. Without a display it converts the
# example with the command-line converter instead.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"
try="$build/try"
jobs=${QUILLBAR_JOBS:-2}

"$root/scripts/setup.sh"

echo "run: building (native converter and the 64-bit Windows program)"
cmake -S "$root" -B "$build/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/native" -j"$jobs" --target quillbar-convert >/dev/null
cmake -S "$root" -B "$build/x86_64" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-w64-mingw32.cmake" >/dev/null
cmake --build "$build/x86_64" -j"$jobs" --target quillbar >/dev/null

mkdir -p "$try"
cp "$root/examples/contacts.csv" "$try/contacts.csv"

if [ -z "${DISPLAY:-}" ]; then
    rm -f "$try/contacts.htm"
    "$build/native/cli/quillbar-convert" "$try/contacts.csv" "$try/contacts.htm"
    echo "run: no display (DISPLAY is not set), so the dialog cannot be shown."
    echo "run: converted the example with the command-line converter instead:"
    echo "       $try/contacts.csv -> $try/contacts.htm"
    echo "run: convert your own files with: $build/native/cli/quillbar-convert INPUT.csv [OUTPUT.htm]"
    exit 0
fi

. "$root/scripts/wine-env.sh"
wine_find
wine_prefix_prepare "$build/wineprefix-run"
echo "run: starting the dialog in $try"
echo "run: type contacts.csv as the CSV input, contacts.htm as the HTML output, and press Convert."
cd "$try"
wine_run "$build/x86_64/app/quillbar.exe"
