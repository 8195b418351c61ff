#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (in build-fuzz/) and runs all of them at once for
# SECONDS (default 60), each on its seed corpus in tests/fuzz/corpus. What a run finds is left
# in the scratch folder it names, and the script fails; the fixed input goes into the seed
# corpus, where every later run tries it first.
#
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"
targets=(recordfile signals database databaseflips)

export CC=clang CXX=clang++
export KELVORA_BUILD="$root/build-fuzz"
export KELVORA_CMAKE_ARGS="-DKELVORA_FUZZ=ON -DKELVORA_BUILD_GUI=OFF -DKELVORA_BUILD_TESTS=OFF
    -DKELVORA_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo"
export KELVORA_BUILD_TARGETS="--target ${targets[*]/#/fuzz_}"
source "$root/scripts/setup.sh"

export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
scratch="$(mktemp -d "${TMPDIR:-/tmp}/kelvora-fuzz-run-XXXXXX")"
# All targets at once, each for the whole time.
pids=()
for target in "${targets[@]}"; do
    mkdir "$scratch/$target"
    "$KELVORA_BUILD/tests/fuzz/fuzz_$target" "$scratch/$target" "$root/tests/fuzz/corpus/$target" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
        -artifact_prefix="$scratch/$target-" -print_final_stats=1 \
        >"$scratch/$target.log" 2>&1 &
    pids+=($!)
done
failed=0
for i in "${!targets[@]}"; do
    target="${targets[$i]}"
    if wait "${pids[$i]}"; then
        echo "fuzz_$target, $seconds s:" \
            "$(grep -E '^stat::number_of_executed_units' "$scratch/$target.log" | tr -d '\n')"
    else
        tail -60 "$scratch/$target.log"
        echo "fuzz_$target found a fault; its input and log are in $scratch" >&2
        failed=1
    fi
done
[ "$failed" -eq 1 ] || rm -rf "$scratch"
exit "$failed"
