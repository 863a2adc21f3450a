#!/usr/bin/env bash
# Checks that the program's includes run one way:
#   - nothing outside src/app/ includes app/ (the window shell);
#   - core/ includes neither widgets/ nor app/, and of Qt only QtCore headers
#     and QtConcurrent's (the thread pool's map and reduce);
#   - a widgets/ subsystem includes another subsystem's window code only for
#     the grid, which every subsystem builds on;
#   - no include climbs out of its folder with "../".
# Usage: check-layers.sh SRC_DIR QTCORE_INCLUDE_DIR. Prints each offending
# line and exits 1 when there is one.
set -uo pipefail
src=${1:?source folder}
qtcore=${2:?QtCore include folder}
bad=0
report() { echo "$1: $2"; bad=1; }

while IFS= read -r -d '' file; do
    rel=${file#"$src"/}
    layer=${rel%%/*}
    rest=${rel#*/}
    subsystem=${rest%%/*}
    while IFS= read -r line; do
        target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^>"]+)[>"].*/\1/' <<<"$line")
        case "$target" in
        ../*|*/../*) report "$rel" "climbs out of its folder: $line" ;;
        esac
        if [ "$layer" != app ] && [[ $target == app/* ]]; then
            report "$rel" "includes the window shell: $line"
        fi
        if [ "$layer" = core ]; then
            if [[ $target == widgets/* ]]; then
                report "$rel" "core code includes widgets code: $line"
            elif [[ $line == *'<Q'* ]] && [ ! -e "$qtcore/$target" ] && [[ $target != QtConcurrent/* ]]; then
                report "$rel" "core code includes a Qt header outside QtCore: $line"
            fi
        fi
        if [ "$layer" = widgets ] && [[ $target == widgets/* ]]; then
            other=${target#widgets/}
            other=${other%%/*}
            if [ "$other" != "$subsystem" ] && [ "$other" != grid ]; then
                report "$rel" "includes the window code of $other: $line"
            fi
            if [ "$subsystem" = grid ] && [ "$other" != grid ]; then
                report "$rel" "the grid includes the window code of $other: $line"
            fi
        fi
    done < <(grep -E '^[[:space:]]*#[[:space:]]*include' "$file")
done < <(find "$src" -type f \( -name '*.cpp' -o -name '*.h' \) -print0)

# Every source file sits in one of the three layers.
stray=$(find "$src" -type f \( -name '*.cpp' -o -name '*.h' \) | sed "s|^$src/||" | grep -v -E '^(core|widgets|app)/')
if [ -n "$stray" ]; then
    echo "outside core/, widgets/ and app/:"
    echo "$stray"
    bad=1
fi

[ "$bad" -eq 0 ] && echo "layers: every include runs one way"
exit "$bad"
