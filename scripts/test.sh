#!/usr/bin/env bash
# Installs what is missing, builds Kotoven with its tests and benchmarks and runs
# the whole test suite headless under Xvfb. The last line says pass or fail.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build-test"

fail() { echo "kotoven tests: FAILED ($1)"; echo "0 passed, 1 failed"; exit 1; }

"$top/scripts/deps.sh" || fail "package installation"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || fail "configure"
cmake --build "$build" || fail "build"

export QTWEBENGINE_DISABLE_SANDBOX=1
export QT_QPA_PLATFORM=xcb
export LANG=C.UTF-8
log="$build/ctest.log"
xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" \
    ctest --test-dir "$build" --output-on-failure --no-tests=error 2>&1 | tee "$log"
status=${PIPESTATUS[0]}

passed=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed' "$log")
failed=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*(Failed|Exception|Timeout|Not Run)' "$log")
if [ "$status" -eq 0 ] && [ "$failed" -eq 0 ]; then
    echo "kotoven tests: PASSED"
else
    echo "kotoven tests: FAILED"
    status=1
fi
echo "$passed passed, $failed failed"
exit "$status"
