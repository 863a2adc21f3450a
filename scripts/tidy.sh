#!/usr/bin/env bash
# Runs clang-tidy over the program's sources with the build's compile commands;
# any finding fails the run.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$top/build-test"}
cd "$top"
out=$(git ls-files 'src/*.cpp' | xargs -P 2 -n 4 clang-tidy -p "$build" --quiet 2>&1)
status=$?
printf '%s\n' "$out" | grep -v -E '^[0-9]+ warnings? generated|^Suppressed [0-9]+ warnings|^Use -header-filter|^$' || true
if [ "$status" -eq 0 ]; then echo "clang-tidy: clean"; else echo "clang-tidy: findings"; fi
exit "$status"
