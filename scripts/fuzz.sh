#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each one from its seed
# corpus: fuzz.sh [seconds per target, default 60]. The build goes to
# build-fuzz/ (or $KV7_FUZZ_BUILD); the seeds in fuzz/corpus are copied
# first, so new inputs never land in the repository.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
dir=${KV7_FUZZ_BUILD:-build-fuzz}
targets=(fuzz_reply_decoder fuzz_receive_path fuzz_conversions fuzz_block_transfer)

CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKV7_BUILD_FUZZ=ON -DKV7_BUILD_TESTS=OFF -DKV7_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" -j2 --target fuzz

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=()
for t in "${targets[@]}"; do
    mkdir -p "$work/$t/corpus" "$work/$t/crash"
    cp fuzz/corpus/"$t"/* "$work/$t/corpus/"
    echo "fuzz: $t for ${seconds}s"
    if "$dir/fuzz/$t" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$work/$t/crash/" "$work/$t/corpus" >"$work/$t/log" 2>&1; then
        grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' "$work/$t/log" | sed 's/^/    /'
    else
        tail -n 40 "$work/$t/log"
        for c in "$work/$t"/crash/*; do
            [ -f "$c" ] && echo "fuzz: $t failing input (hex): $(od -An -tx1 -v "$c" | tr -d ' \n')"
        done
        failed+=("$t")
    fi
done
if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzz: failed: ${failed[*]}" >&2
    exit 1
fi
echo "fuzz: all targets passed"
