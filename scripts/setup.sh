#!/usr/bin/env bash
# Installs the Debian packages Quillbar needs to build and test. Idempotent:
# installs only what is missing, and runs apt-get update at most once.
# `setup.sh --bench` also installs what bench/compare measures against.
set -euo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/debian-sources.sh"

packages=(
    g++ cmake make libgtest-dev googletest
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686
    binutils-mingw-w64-x86-64
    wine wine64 xvfb xdotool imagemagick
    clang libclang-rt-14-dev libbenchmark-dev clang-tidy clang-format
    python3 node-csv-spectrum
    nsis lintian icoutils dpkg-dev man-db unzip
)
if [ "${1:-}" = "--bench" ]; then
    packages+=(python3 python3-pandas libreoffice-calc-nogui)
fi

# The i686 tests run the 32-bit build under emulation. A machine that refuses
# it gets those tests skipped, not a failed set-up.
"$(dirname "${BASH_SOURCE[0]}")/setup-i686-emulation.sh" ||
    echo "setup: no i686 emulation here; the i686 tests will be skipped" >&2

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
# With an index still missing, what the other indexes hold may be enough;
# the install says so if it is not.
apt_update_patiently $sudo apt-get ||
    echo "setup: apt-get update failed; installing from the package lists there are" >&2
$sudo apt-get install -y -qq "${missing[@]}" >/dev/null
