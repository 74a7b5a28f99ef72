#!/usr/bin/env bash
# Builds the libFuzzer target with clang and runs it for a bounded time
# (KORVANE_FUZZ_SECONDS, default 60) against the corpus in tests/fuzz/corpus.
# New inputs go to a scratch folder; the corpus in the repository is only read.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${KORVANE_FUZZ_SECONDS:-60}"

cmake -S tests/fuzz -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target fuzz_inventory

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=0"
mkdir "$scratch/corpus"
log="$scratch/fuzz_inventory.log"
if build-fuzz/fuzz_inventory -max_total_time="$seconds" -rss_limit_mb=2048 -malloc_limit_mb=256 \
        -print_final_stats=1 "$scratch/corpus" tests/fuzz/corpus/inventory >"$log" 2>&1; then
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
    echo "fuzz_inventory: $runs executions in ${seconds}s, no failure"
else
    echo "fuzz_inventory: FAILED"
    tail -40 "$log"
    exit 1
fi
