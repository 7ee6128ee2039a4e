#!/usr/bin/env bash
# Static checks of our own code: cppcheck, then clang-tidy with the
# committed .clang-tidy, over every source the build compiles (generated
# moc files aside). lint.sh [build dir, default build]; any finding fails.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
dirs=(app bench commands files fuzz gains log protocol run serial session sim terminal tests uploads)

cppcheck -q --std=c++17 --library=qt -I . --enable=warning,performance,portability,style \
    --suppress=missingIncludeSystem --suppress=missingInclude \
    --suppress=useStlAlgorithm --inline-suppr --error-exitcode=1 \
    --template='{file}:{line}: {severity} [{id}] {message}' "${dirs[@]}"
echo "lint: cppcheck found nothing"

# The build's compile commands, and the moc output the sources include.
bash scripts/build.sh "$dir" >/dev/null
files=$(git ls-files "${dirs[@]/%//*.cpp}" | grep -v '^fuzz/')
# Without colours, and without the per-file chatter.
run-clang-tidy-14 -quiet -j 2 -p "$dir" $files 2>&1 | sed 's/\x1b\[[0-9;]*m//g' |
    { grep -v '^clang-tidy-14 \|^[0-9]* warnings* generated\|^Suppressed\|^Use -header-filter\|^Error while processing' || true; } |
    tee "$dir/clang-tidy.log"
if grep -q 'warning:\|error:' "$dir/clang-tidy.log"; then
    echo "lint: clang-tidy found the faults above" >&2
    exit 1
fi
echo "lint: clang-tidy found nothing"
