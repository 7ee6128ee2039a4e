#!/usr/bin/env bash
# Builds and retakes the user guide's screenshots on Xvfb:
# screenshots.sh [build-dir, default build]. The test rewrites a picture in
# docs/images/ only when its pixels changed, so git shows just real changes.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}

bash scripts/setup.sh && bash scripts/build.sh "$dir"

mkdir -p docs/images
# The whole-window shot goes to the build tree, not the working copy.
KV7_SCREENSHOT=$dir/screenshots/kv7-test.png KV7_SCREENSHOT_DIR=$PWD/docs/images QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1024x768x24" "$dir/tests/tst_screenshot"
