#!/usr/bin/env bash
# Installs what is missing, builds Kotoven in Release and starts it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh"
cmake -S "$top" -B "$top/build-release" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DKOTOVEN_BUILD_TESTS=OFF -DKOTOVEN_BUILD_BENCH=OFF >/dev/null
cmake --build "$top/build-release"
exec "$top/build-release/kotoven" "$@"
