#!/usr/bin/env bash
# Runs every test: native unit tests, the Windows builds and their checks,
# the converter under Wine against the native one, the GUI tests under Wine
# and Xvfb, the set-up scripts' package source lookup, clang-tidy and
# clang-format, the unit tests again under sanitizers with a bounded fuzzing
# run, the release packages (made twice and compared), the i686 build under
# qemu-i386 with 32-bit Wine, and the installer there with the GUI tests
# against the installed program. Every build treats warnings as errors. Ends
# with "N passed, M failed, K skipped"; exits non-zero on failure.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"
jobs=${QUILLBAR_JOBS:-2}
passed=0
failed=0
skipped=0
failures=()

pass() { passed=$((passed + 1)); echo "PASS: $1"; }
fail() { failed=$((failed + 1)); failures+=("$1"); echo "FAIL: $1"; }
check() {  # check NAME COMMAND...: one test that passes when the command does
    local name=$1
    shift
    if "$@"; then pass "$name"; else fail "$name"; fi
}
section() { printf '\n== %s ==\n' "$1"; }

# A stage script reports one line per test: "PASS: name", "FAIL: name" or
# "SKIP: name (reason)". Its output is shown and its verdicts counted; a stage
# that exits non-zero without reporting a failure counts as one failure.
run_stage() {  # run_stage NAME SCRIPT [ARGS...]
    local name=$1 log="$build/stage-${1// /-}.log" status line stage_failed=0
    shift
    section "$name"
    mkdir -p "$build"
    "$@" 2>&1 | tee "$log"
    status=${PIPESTATUS[0]}
    while IFS= read -r line; do
        case "$line" in
            "PASS: "*) passed=$((passed + 1)) ;;
            "FAIL: "*) failed=$((failed + 1)); stage_failed=1; failures+=("${line#FAIL: }") ;;
            "SKIP: "*) skipped=$((skipped + 1)) ;;
        esac
    done <"$log"
    if ((status != 0 && stage_failed == 0)); then
        fail "$name ended cleanly (status $status, see $log)"
    fi
}

"$root/scripts/setup.sh" || { echo "test: setup failed" >&2; exit 1; }

# --- native: engine, converter, unit tests ---------------------------------
section "native build and unit tests"
if cmake -S "$root" -B "$build/native" -DCMAKE_BUILD_TYPE=Release \
    -DQUILLBAR_WARNINGS_AS_ERRORS=ON >/dev/null &&
    cmake --build "$build/native" -j"$jobs" >/dev/null; then
    ctest_log="$build/native/ctest.log"
    (cd "$build/native" && ctest -j"$jobs" --output-on-failure) >"$ctest_log" 2>&1
    ctest_status=$?
    grep -E "tests passed|FAILED|Failed|\*\*\*" "$ctest_log" | tail -20
    summary=$(grep -E "tests passed, [0-9]+ tests? failed out of [0-9]+" "$ctest_log")
    if [[ $summary =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
        passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
        failed=$((failed + BASH_REMATCH[1]))
        ((BASH_REMATCH[1] == 0)) || failures+=("native unit tests (see $ctest_log)")
    else
        fail "native unit tests ran (ctest status $ctest_status, see $ctest_log)"
    fi
else
    fail "native build"
fi

# --- Windows builds ---------------------------------------------------------
windows_build() {  # windows_build ARCH
    cmake -S "$root" -B "$build/$1" \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$1-w64-mingw32.cmake" \
        -DQUILLBAR_WARNINGS_AS_ERRORS=ON >/dev/null &&
        cmake --build "$build/$1" -j"$jobs" >/dev/null
}

# A statically linked program imports nothing but Windows' own DLLs.
imports_only_system_dlls() {  # imports_only_system_dlls FILE
    local dll bad=0
    for dll in $(objdump -p "$1" | awk '/DLL Name:/ {print tolower($3)}'); do
        case "$dll" in
            kernel32.dll | user32.dll | gdi32.dll | comdlg32.dll | shell32.dll | wsock32.dll | \
                msvcrt.dll | advapi32.dll | ole32.dll | comctl32.dll | shlwapi.dll | ws2_32.dll) ;;
            *) echo "  $1 imports $dll" >&2; bad=1 ;;
        esac
    done
    return $bad
}

pe_header_is() {  # pe_header_is FILE MAGIC SUBSYSTEM
    local dump
    dump=$(objdump -p "$1") || return 1
    grep -q "file format pei-i386" <<<"$dump" &&
        grep -q "^Magic.*($2)" <<<"$dump" &&
        grep -q "^Subsystem.*($3)" <<<"$dump"
}

large_address_aware() {  # large_address_aware FILE: 4 GB of address space on 64-bit Windows
    # Not grep -q: objdump killed by a closed pipe would fail the check.
    objdump -p "$1" | grep "large address aware" >/dev/null
}

# Resource 1 of type 24 (RT_MANIFEST) asks for no elevation.
manifest_as_invoker() {  # manifest_as_invoker FILE
    x86_64-w64-mingw32-windres --input-format=coff -i "$1" -O rc 2>/dev/null |
        awk '/^1 24 / { inside = 1 } inside && /^END/ { inside = 0 }
             inside && /level=""asInvoker""/ { found = 1 } END { exit !found }'
}

section "Windows builds"
check "i686 build" windows_build i686
check "x86_64 build" windows_build x86_64
for program in app/quillbar.exe cli/quillbar-convert.exe; do
    check "i686 $program exists" test -f "$build/i686/$program"
done
check "i686 quillbar.exe is a PE32 i386 GUI program" \
    pe_header_is "$build/i686/app/quillbar.exe" PE32 "Windows GUI"
check "i686 quillbar-convert.exe is a PE32 i386 console program" \
    pe_header_is "$build/i686/cli/quillbar-convert.exe" PE32 "Windows CUI"
check "i686 quillbar.exe imports only system DLLs" \
    imports_only_system_dlls "$build/i686/app/quillbar.exe"
check "i686 quillbar-convert.exe imports only system DLLs" \
    imports_only_system_dlls "$build/i686/cli/quillbar-convert.exe"
for program in app/quillbar.exe cli/quillbar-convert.exe; do
    check "i686 $program is large-address-aware" large_address_aware "$build/i686/$program"
    check "i686 $program carries a manifest with asInvoker" \
        manifest_as_invoker "$build/i686/$program"
done

# --- Wine: the Windows converter writes the same bytes as the native one ----
section "converter under Wine"
if [ -x "$build/x86_64/cli/quillbar-convert.exe" ]; then
    "$root/tests/wine/compare-converters.sh" "$build/native/cli/quillbar-convert" \
        "$build/x86_64/cli/quillbar-convert.exe" "$build/wine-cli" >"$build/wine-cli.log" 2>&1
    cat "$build/wine-cli.log"
    while read -r verdict name; do
        case "$verdict" in
            same) passed=$((passed + 1)) ;;
            differs) fail "Windows converter output for $name" ;;
        esac
    done < <(grep -E "^(same|differs) " "$build/wine-cli.log")
    grep -qE "^(same|differs) " "$build/wine-cli.log" || fail "converter comparison ran"
else
    fail "converter comparison ran (no x86_64 build)"
fi

# --- GUI tests under Wine and Xvfb ---------------------------------------------
section "GUI tests under Wine"
gui_xml="$build/gui-tests.xml"
rm -f "$gui_xml"
"$root/tests/gui/run-gui-tests.sh" "$build/x86_64" "$gui_xml"
gui_status=$?
if [ -f "$gui_xml" ]; then
    header=$(grep -m1 "<testsuites" "$gui_xml")
    tests=$(sed -E 's/.* tests="([0-9]+)".*/\1/' <<<"$header")
    bad=$(($(sed -E 's/.* failures="([0-9]+)".*/\1/' <<<"$header") + \
        $(sed -E 's/.* errors="([0-9]+)".*/\1/' <<<"$header")))
    gui_skipped=$(grep -c 'result="skipped"' "$gui_xml")
    passed=$((passed + tests - bad - gui_skipped))
    failed=$((failed + bad))
    skipped=$((skipped + gui_skipped))
    ((bad == 0)) || failures+=("GUI tests (see $gui_xml)")
    ((gui_status == 0 || bad > 0)) || fail "GUI test run ended cleanly (status $gui_status)"
else
    fail "GUI tests ran (status $gui_status)"
fi

# Further stages plug in here with run_stage.
run_stage "set-up scripts" "$root/tests/setup/debian-sources-test.sh"
run_stage "clang-tidy" "$root/scripts/check-code.sh" "$build" tidy
run_stage "clang-format" "$root/scripts/check-code.sh" "$build" format
run_stage "sanitizers and fuzzing" "$root/scripts/test-sanitizers.sh"
run_stage "release packages" "$root/tests/packaging/check-packages.sh" "$build"
run_stage "i686 build under qemu-i386 and 32-bit Wine" "$root/scripts/test-i686.sh" "$build"
run_stage "installer under qemu-i386 and 32-bit Wine" "$root/tests/packaging/test-installer.sh" "$build"

section "summary"
for failure in "${failures[@]+"${failures[@]}"}"; do echo "failed: $failure"; done
echo "$passed passed, $failed failed, $skipped skipped"
((failed == 0))
