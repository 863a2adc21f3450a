#!/usr/bin/env bash
# Installs what is missing, then checks Kotoven headless under Xvfb:
#   1. the whole test suite on an optimised build;
#   2. the core and widget tests again under AddressSanitizer and
#      UndefinedBehaviorSanitizer;
#   3. every libFuzzer target for a short run from its seed corpus;
#   4. clang-tidy over the sources.
# The last line says how many checks passed and failed.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
fuzz_seconds=${KOTOVEN_FUZZ_SECONDS:-30}
passed=0
failed=0
failures=()

stage() { echo; echo "=== $* ==="; }
result() { # name status
    if [ "$2" -eq 0 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); failures+=("$1"); fi
}
finish() {
    echo
    if [ "$failed" -eq 0 ]; then echo "kotoven checks: PASSED"; else echo "kotoven checks: FAILED (${failures[*]})"; fi
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit $?
}

export QTWEBENGINE_DISABLE_SANDBOX=1 QT_QPA_PLATFORM=xcb LANG=C.UTF-8
xvfb() { xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" "$@"; }
ctest_counted() { # build-dir name [ctest args...]
    local build=$1 name=$2
    shift 2
    local log="$build/ctest.log"
    xvfb ctest --test-dir "$build" --output-on-failure --no-tests=error "$@" 2>&1 | tee "$log"
    local status=${PIPESTATUS[0]}
    local p f
    p=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed' "$log")
    f=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*(\*\*\*|Failed|Exception|Timeout|Not Run)' "$log")
    passed=$((passed + p))
    failed=$((failed + f))
    if [ "$status" -ne 0 ] && [ "$f" -eq 0 ]; then failed=$((failed + 1)); fi
    [ "$status" -eq 0 ] || failures+=("$name")
}

stage "packages"
"$top/scripts/deps.sh" || { result packages 1; finish; }

stage "build and test"
build="$top/build-test"
if cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null && cmake --build "$build"; then
    ctest_counted "$build" tests
else
    result build 1
fi

if [ "${KOTOVEN_SKIP_SANITIZERS:-0}" != 1 ]; then
    stage "sanitizers"
    asan="$top/build-asan"
    if cmake -S "$top" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKOTOVEN_SANITIZE=ON \
            -DKOTOVEN_BUILD_BENCH=OFF >/dev/null && cmake --build "$asan"; then
        ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" \
        UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
            ctest_counted "$asan" sanitizers
    else
        result sanitizer-build 1
    fi
fi

if [ "${KOTOVEN_SKIP_FUZZ:-0}" != 1 ]; then
    stage "fuzzing (${fuzz_seconds} s each)"
    fuzz="$top/build-fuzz"
    if CXX=clang++ CC=clang cmake -S "$top" -B "$fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DKOTOVEN_FUZZ=ON -DKOTOVEN_BUILD_TESTS=OFF -DKOTOVEN_BUILD_BENCH=OFF >/dev/null \
            && cmake --build "$fuzz"; then
        mkdir -p "$fuzz/artifacts"
        for target in "$fuzz"/fuzz/*_fuzz; do
            [ -x "$target" ] || continue
            name=$(basename "$target")
            work=$(mktemp -d)
            [ -d "$top/fuzz/corpus/$name" ] && cp -r "$top/fuzz/corpus/$name/." "$work/"
            echo "--- $name"
            "$target" -max_total_time="$fuzz_seconds" -print_final_stats=1 -rss_limit_mb=4096 \
                -artifact_prefix="$fuzz/artifacts/$name-" "$work" 2>&1 | tail -n 12
            status=${PIPESTATUS[0]}
            [ "$status" -eq 0 ] || echo "$name: crashing input kept in $fuzz/artifacts/"
            result "$name" "$status"
            rm -rf "$work"
        done
    else
        result fuzz-build 1
    fi
fi

if [ "${KOTOVEN_SKIP_TIDY:-0}" != 1 ]; then
    stage "clang-tidy"
    "$top/scripts/tidy.sh" "$build"
    result clang-tidy $?
fi

finish
