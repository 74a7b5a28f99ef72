#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time
# (KORVANE_FUZZ_SECONDS, default 60) against the corpus in tests/fuzz/corpus.
# New inputs go to a scratch folder; the corpus in the repository is only read.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${KORVANE_FUZZ_SECONDS:-60}"

cmake -S tests/fuzz -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$(nproc)"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=0"
status=0
for target in build-fuzz/fuzz_*; do
    name="$(basename "$target")"
    corpus="tests/fuzz/corpus/${name#fuzz_}"
    mkdir -p "$scratch/$name" "$corpus"
    log="$scratch/$name.log"
    if "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -malloc_limit_mb=256 \
            -print_final_stats=1 "$scratch/$name" "$corpus" >"$log" 2>&1; then
        runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
        echo "$name: $runs executions in ${seconds}s, no failure"
    else
        echo "$name: FAILED"
        tail -40 "$log"
        status=1
    fi
done
exit $status
