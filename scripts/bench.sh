#!/usr/bin/env bash
# Builds and runs the benchmarks; each prints its figures. The bench_wire_
# ones run against kv7-sim --wire, paced like a real serial line, then
# again behind a modelled USB adapter (KV7_BENCH_LATENCY). The last,
# the soak, runs for KV7_SOAK_SECONDS (600 by default).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
export QT_QPA_PLATFORM=offscreen
for b in bench_terminal_ingest bench_startup bench_idle bench_get_gains bench_sample_upload bench_firmware_upload \
    bench_wire_firmware bench_wire_sample bench_wire_gains bench_run_ports bench_run_sample bench_run_station; do
    echo "== $b"
    build/bench/$b
done
# Behind a USB adapter's latency timer (kv7-sim --latency): the wire
# benchmarks again at 16 ms, an FTDI chip's default, and at 1 ms, the
# lowest it can be set to.
for ms in 16 1; do
    for b in bench_wire_firmware bench_wire_sample bench_run_ports; do
        echo "== $b, adapter latency $ms ms"
        KV7_BENCH_LATENCY=$ms build/bench/$b
    done
done
# The session log's cost: the firmware upload again, and the soak, with it on.
log=$(mktemp -d)
for b in bench_wire_firmware bench_run_ports bench_run_sample; do
    echo "== $b, session log on"
    KV7_BENCH_LOG=$log/$b.log build/bench/$b
done
echo "== bench_soak, session log on"
KV7_BENCH_LOG=$log/soak.log build/bench/bench_soak "${KV7_SOAK_SECONDS:-600}"
rm -r "$log"
