#!/usr/bin/env bash
# Builds the Debian package: package.sh [build dir]; prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
bash scripts/build.sh "$dir" >&2
rm -rf "$dir/packages"
(cd "$dir" && cpack -G DEB >&2)
ls "$(realpath "$dir")"/packages/kv7-test_*.deb
