#!/usr/bin/env bash
# Installs what is needed, builds, starts the simulated device on COM1 and
# opens the window connected to it.
set -euo pipefail
cd "$(dirname "$0")/.."

# Checked first, so a machine without a display gets no installs and no build.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "demo: there is no display here (neither DISPLAY nor WAYLAND_DISPLAY is set), so the window cannot open." >&2
    echo "demo: run this on a desktop session, or try the tests: bash scripts/test.sh" >&2
    exit 1
fi

bash scripts/setup.sh
bash scripts/build.sh build

out=$(mktemp)
build/sim/kv7-sim --com 1 --gains 64,64,64,64,64,64,64,64 >"$out" &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -f "$out"' EXIT
for _ in $(seq 50); do
    [ -s "$out" ] && break
    kill -0 $sim 2>/dev/null || { echo "demo: kv7-sim did not start" >&2; exit 1; }
    sleep 0.1
done
echo "demo: simulated KV7 on $(head -1 "$out")"
build/kv7-test
