#!/usr/bin/env bash
# Builds and runs the benchmarks; each prints its figures. The bench_wire_
# ones run against kv7-sim --wire, paced like a real serial line. The last,
# the soak, runs for KV7_SOAK_SECONDS (600 by default).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
export QT_QPA_PLATFORM=offscreen
for b in bench_terminal_ingest bench_startup bench_idle bench_get_gains bench_sample_upload bench_firmware_upload \
    bench_wire_firmware bench_wire_sample bench_wire_gains bench_run_ports bench_run_station; do
    echo "== $b"
    build/bench/$b
done
# The session log's cost: the firmware upload again, and the soak, with it on.
log=$(mktemp -d)
echo "== bench_wire_firmware, session log on"
KV7_BENCH_LOG=$log/firmware.log build/bench/bench_wire_firmware
echo "== bench_soak, session log on"
KV7_BENCH_LOG=$log/soak.log build/bench/bench_soak "${KV7_SOAK_SECONDS:-600}"
rm -r "$log"
