#!/usr/bin/env bash
# Builds, takes the user guide's screenshots on Xvfb and copies to
# docs/images/ only those whose pixels changed: screenshots.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}

bash scripts/setup.sh
bash scripts/build.sh "$dir"

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
mkdir -p docs/images
# The test leaves out every picture equal to the committed one.
KV7_SCREENSHOT_DIR=$out KV7_SCREENSHOT_COMPARE_DIR=$PWD/docs/images QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1024x768x24" "$dir/tests/tst_screenshot"

shopt -s nullglob
changed=("$out"/*.png)
for f in "${changed[@]}"; do
    cp "$f" docs/images/
    echo "screenshots: updated docs/images/$(basename "$f")"
done
[ ${#changed[@]} -gt 0 ] || echo "screenshots: docs/images/ is up to date"
