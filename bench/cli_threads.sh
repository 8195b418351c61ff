#!/usr/bin/env bash
# Times `kelvora-cli fit` with --threads 1 and --threads 2 on the same record and seed,
# alternating the two so that both see the same load, checks that their reports are the same
# to the last digit, and prints the median wall times and their ratio.
#
#   bench/cli_threads.sh [RECORD.txt] [RUNS] [SEED]
#
# Defaults: the 20-point bench record, 3 runs of each, seed 2024. KELVORA_CLI names the
# program (default: build/program/kelvora-cli).
set -euo pipefail
shopt -s inherit_errexit

root="$(cd "$(dirname "$0")/.." && pwd)"
cli="${KELVORA_CLI:-$root/build/program/kelvora-cli}"
record="${1:-$root/bench/data/twenty-points.txt}"
runs="${2:-3}"
seed="${3:-2024}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

seconds() {
    local start end
    start=$(date +%s.%N)
    "$cli" fit "$record" --seed "$seed" --threads "$1" --json > "$work/out$1.json"
    end=$(date +%s.%N)
    echo "$end - $start" | bc
}

median() {
    sort -g | awk '{ v[NR] = $1 }
        END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

echo "record $record, seed $seed, $runs runs each; load: $(cut -d' ' -f1-3 /proc/loadavg)"
: > "$work/t1"
: > "$work/t2"
for ((k = 1; k <= runs; ++k)); do
    t1=$(seconds 1)
    t2=$(seconds 2)
    echo "run $k: --threads 1 ${t1} s, --threads 2 ${t2} s"
    echo "$t1" >> "$work/t1"
    echo "$t2" >> "$work/t2"
    cmp -s "$work/out1.json" "$work/out2.json" || { echo "the reports differ" >&2; exit 1; }
done
m1=$(median < "$work/t1")
m2=$(median < "$work/t2")
echo "median: --threads 1 ${m1} s, --threads 2 ${m2} s, ratio $(echo "scale=3; $m2 / $m1" | bc)"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
