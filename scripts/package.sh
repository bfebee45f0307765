#!/usr/bin/env bash
# package.sh [OUT_DIR]: builds the release from this checkout and writes the
# three packages into OUT_DIR/packages (OUT_DIR defaults to build/):
#   quillbar-VERSION-win32.zip          the i686 programs, README.txt, LICENSE.txt, help.htm
#   quillbar-VERSION-win32-setup.exe    the same files in an NSIS installer
#   quillbar-convert_VERSION_amd64.deb  the native converter with its manual page
# The builds are OUT_DIR/release-i686 and OUT_DIR/release-native. Two runs
# from the same commit give byte-identical packages: every time stamp is the
# last commit's time (SOURCE_DATE_EPOCH) and no build path gets into a file.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=$(mkdir -p "${1:-$root/build}" && cd "${1:-$root/build}" && pwd)
jobs=${QUILLBAR_JOBS:-2}
packages="$out/packages"

"$root/scripts/setup.sh"

# Files and folders in the packages are not group- or world-writable.
umask 022
SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct) ||
    { echo "package: needs a git checkout: the last commit's time dates the files" >&2; exit 1; }
export SOURCE_DATE_EPOCH
# Paths in the programs (assertions, debug information) name the source
# and build folders as "." and "build", wherever they are.
prefix_map() {  # prefix_map BUILD_DIR
    echo "-ffile-prefix-map=$root=. -ffile-prefix-map=$1=build"
}

# build_and_pack BUILD_DIR TARGETS CMAKE_ARGS...: configures and builds only
# what the packages hold, then runs cpack there.
build_and_pack() {
    local dir=$1 targets=$2
    shift 2
    cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON "$@" >"$dir.configure.log" ||
        { cat "$dir.configure.log" >&2; return 1; }
    # shellcheck disable=SC2086  # the targets are plain words
    cmake --build "$dir" -j"$jobs" --target $targets >"$dir.build.log" ||
        { tail -30 "$dir.build.log" >&2; return 1; }
    rm -rf "$dir/cpack"
    (cd "$dir" && cpack -B "$dir/cpack" >"$dir.cpack.log") ||
        { cat "$dir.cpack.log" >&2; return 1; }
}

version=$(sed -nE 's/^project\(Quillbar VERSION ([0-9.]+) .*/\1/p' "$root/CMakeLists.txt")
mkdir -p "$out"
rm -rf "$packages"
mkdir -p "$packages"

echo "package: Windows i686 release"
windows="$out/release-i686"
mkdir -p "$windows"
build_and_pack "$windows" "quillbar quillbar-convert" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" \
    -DCMAKE_C_FLAGS="$(prefix_map "$windows")" -DCMAKE_CXX_FLAGS="$(prefix_map "$windows")"
# The zip's top folder is quillbar-VERSION/; the file gets the platform too.
mv "$windows/cpack/quillbar-$version.zip" "$packages/quillbar-$version-win32.zip"
mv "$windows/cpack/quillbar-$version-win32-setup.exe" "$packages/"

echo "package: native converter for Debian"
native="$out/release-native"
mkdir -p "$native"
# Debian's hardening and reproducibility flags, as a Debian build would use.
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
build_and_pack "$native" "quillbar-convert quillbar_package_docs" \
    -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS) $(prefix_map "$native")" \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS) $(prefix_map "$native")" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
mv "$native"/cpack/quillbar-convert_"$version"_*.deb "$packages/"

echo "package: written to $packages"
ls -l "$packages"
