#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test; then all but the
# screenshot test again in an AddressSanitizer/UBSan build with leak checks.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
bash scripts/build.sh build
(cd build && ctest --output-on-failure -j2)

# cppcheck and clang-tidy on our own code: any finding fails.
bash scripts/lint.sh build

# The Debian package: its files, its dependencies, its desktop entry.
deb=$(bash scripts/package.sh build)
bash packaging/check-package.sh "$deb"

bash scripts/build.sh build-asan -DKV7_SANITIZE=ON -DKV7_BUILD_BENCH=OFF
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp
(cd build-asan && ctest --output-on-failure -j2 -LE screenshot)

# Each fuzz target briefly, from its committed seeds.
bash scripts/fuzz.sh 10
echo "test: all tests passed"
