#!/usr/bin/env bash
# Test stage: builds the engine, the converter and the unit tests with clang,
# AddressSanitizer and UndefinedBehaviorSanitizer, runs the unit tests once
# more, and once under ThreadSanitizer, then runs each libFuzzer target for a bounded time from the seed
# corpus in fuzz/corpus. Prints "PASS: name", "FAIL: name" or
# "SKIP: name (reason)" per test.
#
# QUILLBAR_FUZZ_SECONDS sets each fuzz target's time (default 60). A finding
# is kept in build/sanitize/fuzz-findings; once fixed, add the file to the
# target's corpus folder, where every later run replays it.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/sanitize"
jobs=${QUILLBAR_JOBS:-2}
fuzz_seconds=${QUILLBAR_FUZZ_SECONDS:-60}
fuzz_targets=(row_converter_fuzz conversion_run_fuzz conversion_options_fuzz)
status=0

pass() { echo "PASS: $1"; }
fail() { echo "FAIL: $1"; status=1; }

if ! command -v clang++ >/dev/null; then
    fail "sanitizer build (clang++ not found; scripts/setup.sh installs it)"
    exit 1
fi

# Stop at the first report of either sanitizer, with a stack trace.
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

log="$build/build.log"
mkdir -p "$build"
if CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILLBAR_SANITIZE=ON -DQUILLBAR_FUZZ=ON -DQUILLBAR_WARNINGS_AS_ERRORS=ON >"$log" 2>&1 &&
    cmake --build "$build" -j"$jobs" \
        --target quillbar_unit_tests quillbar-convert "${fuzz_targets[@]}" >>"$log" 2>&1; then
    pass "sanitizer build (clang, ASan + UBSan, libFuzzer)"
else
    tail -20 "$log"
    fail "sanitizer build (see $log)"
    exit 1
fi

# --- unit tests under the sanitizers, one line per test ----------------------
ctest_log="$build/ctest.log"
(cd "$build" && ctest -j"$jobs" --output-on-failure) >"$ctest_log" 2>&1
ctest_status=$?
ran=0
while IFS= read -r line; do
    if [[ $line =~ Test\ +#[0-9]+:\ ([^ ]+).*[\ .](Passed|\*\*\*Skipped|\*\*\*Failed|\*\*\*Timeout|\*\*\*Exception|Exception|Failed) ]]; then
        ran=$((ran + 1))
        name="under sanitizers: ${BASH_REMATCH[1]}"
        case "${BASH_REMATCH[2]}" in
            Passed) pass "$name" ;;
            *Skipped) echo "SKIP: $name (skips itself under the sanitizers)" ;;
            *) fail "$name (see $ctest_log)" ;;
        esac
    fi
done <"$ctest_log"
if ((ran == 0)); then
    fail "unit tests under sanitizers ran (ctest status $ctest_status, see $ctest_log)"
fi
grep -E "runtime error|ERROR: AddressSanitizer|ERROR: LeakSanitizer" "$ctest_log" | head -5

# --- unit tests under ThreadSanitizer ----------------------------------------
# A buffered run hands blocks and their rows from thread to thread; a race
# there need not show in the tables of a few runs.
tsan_build="$root/build/tsan"
tsan_log="$tsan_build/build.log"
mkdir -p "$tsan_build"
if CC=clang CXX=clang++ cmake -S "$root" -B "$tsan_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILLBAR_SANITIZE_THREADS=ON -DQUILLBAR_WARNINGS_AS_ERRORS=ON >"$tsan_log" 2>&1 &&
    cmake --build "$tsan_build" -j"$jobs" --target quillbar_unit_tests >>"$tsan_log" 2>&1; then
    tsan_tests="$tsan_build/tests.log"
    if TSAN_OPTIONS=halt_on_error=1 "$tsan_build/tests/unit/quillbar_unit_tests" --gtest_brief=1 \
        >"$tsan_tests" 2>&1; then
        pass "unit tests under ThreadSanitizer ($(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests.*/\1/p' "$tsan_tests") passed)"
    else
        grep -m5 -E "WARNING: ThreadSanitizer|FAILED|SUMMARY" "$tsan_tests"
        fail "unit tests under ThreadSanitizer (see $tsan_tests)"
    fi
else
    tail -20 "$tsan_log"
    fail "ThreadSanitizer build (see $tsan_log)"
fi

# --- fuzz targets -------------------------------------------------------------
findings="$build/fuzz-findings"
mkdir -p "$findings"
for target in "${fuzz_targets[@]}"; do
    corpus="$root/fuzz/corpus/${target%_fuzz}"
    work="$build/fuzz-work/$target"
    rm -rf "$work"
    mkdir -p "$work"
    fuzz_log="$build/$target.log"
    # New inputs go to the scratch folder, never into the repository's corpus.
    "$build/fuzz/$target" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=4096 -print_final_stats=1 -artifact_prefix="$findings/$target-" \
        "$work" "$corpus" >"$fuzz_log" 2>&1
    fuzz_status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$fuzz_log")
    if ((fuzz_status == 0)) && [ -n "$runs" ]; then
        pass "fuzz $target: ${runs} inputs in ${fuzz_seconds} s from $(ls "$corpus" | wc -l) seeds, no finding"
    else
        grep -m5 -E "property broken|ERROR|runtime error|SUMMARY" "$fuzz_log"
        fail "fuzz $target (status $fuzz_status, finding in $findings, see $fuzz_log)"
    fi
done

exit $status
