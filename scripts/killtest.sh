#!/usr/bin/env bash
# Crash consistency of the database file: starts kelvora-cli import, calibrate or delete, kills
# it with SIGKILL at a random moment, and checks after every kill that the database loads and
# holds every operation that finished before it. After every operation that finishes, the
# folder holds the database file alone: nothing a killed process left stays.
#
#   scripts/killtest.sh [TRIALS [SEED]]     defaults: 200 trials, seed 1
#
# KELVORA_CLI names the program to test (default: build/program/kelvora-cli).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
trials="${1:-200}"
seed="${2:-1}"
cli="${KELVORA_CLI:-$root/build/program/kelvora-cli}"
record="$root/data/samples/fixed-points-in-cu.txt"
work="$(mktemp -d "${TMPDIR:-/tmp}/kelvora-killtest-XXXXXX")"
trap 'rm -rf "$work"' EXIT
db="$work/DB/kelvora.dbs"
mkdir "$work/DB"
RANDOM="$seed"

declare -A present  # record name -> yes, no, maybe
declare -A computed # record name -> yes, no, maybe
failures=0 kills=0 finished=0 midsave=0

fail() {
    echo "trial $trial: $*" >&2
    failures=$((failures + 1))
}

# The records as `list --by-name` shows them: "name computed" per line.
listed() {
    "$cli" list --by-name --db "$db" | awk 'NR > 1 { print $1, $(NF - 2) }'
}

# Compares the database with what must be in it, and settles what a kill left open.
check() {
    local lines
    if ! lines="$(listed)"; then
        fail "the database does not load"
        return
    fi
    declare -A seen=()
    local name state
    while read -r name state; do
        [ -n "$name" ] && seen[$name]="$state"
    done <<<"$lines"
    for name in "${!present[@]}"; do
        case "${present[$name]}" in
        yes) [ -n "${seen[$name]:-}" ] || fail "finished record $name is lost" ;;
        no) [ -z "${seen[$name]:-}" ] || fail "deleted record $name is back" ;;
        esac
        if [ -n "${seen[$name]:-}" ]; then
            present[$name]=yes
            if [ "${computed[$name]}" = yes ] && [ "${seen[$name]}" != yes ]; then
                fail "results of $name are lost"
            fi
            computed[$name]="${seen[$name]}"
        else
            present[$name]=no
        fi
    done
    for name in "${!seen[@]}"; do
        [ -n "${present[$name]:-}" ] || fail "unknown record $name"
    done
}

# After a finished operation: the database file and nothing else.
checkFolder() {
    local entries
    entries="$(ls -A "$work/DB")"
    [ "$entries" = "kelvora.dbs" ] || fail "left in the folder: $(echo $entries)"
}

# Milliseconds that a command takes here, so that the kills fall within its run.
duration() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    echo $(((end - start) / 1000000 + 1))
}

# A pool of records to work on.
for i in $(seq 1 12); do
    "$cli" import "$record" --name "r$i" --db "$db" >/dev/null
    present[r$i]=yes
    computed[r$i]=no
done
importTime=$(duration "$cli" import "$record" --name r0 --db "$db")
calibrateTime=$(duration "$cli" calibrate r0 --restarts 0 --seed 1 --db "$db")
deleteTime=$(duration "$cli" delete r0 --db "$db")

for trial in $(seq 1 "$trials"); do
    names=()
    for name in "${!present[@]}"; do
        [ "${present[$name]}" = yes ] && names+=("$name")
    done
    op=$((RANDOM % 3))
    if [ "${#names[@]}" -lt 4 ]; then
        op=0
    fi
    target="${names[$((RANDOM % ${#names[@]}))]:-}"
    case $op in
    0)
        target="n$trial"
        args=(import "$record" --name "$target")
        delay=$((RANDOM % (importTime * 5 / 4 + 1)))
        ;;
    1)
        args=(calibrate "$target" --restarts 0 --seed "$trial")
        delay=$((RANDOM % (calibrateTime * 5 / 4 + 1)))
        ;;
    2)
        args=(delete "$target")
        delay=$((RANDOM % (deleteTime * 5 / 4 + 1)))
        ;;
    esac
    "$cli" "${args[@]}" --db "$db" >/dev/null 2>"$work/err" &
    pid=$!
    sleep "$(printf '%d.%03d' $((delay / 1000)) $((delay % 1000)))"
    kill -KILL "$pid" 2>/dev/null || true
    status=0
    wait "$pid" 2>/dev/null || status=$?
    case $status in
    0)
        finished=$((finished + 1))
        case $op in
        0) present[$target]=yes computed[$target]=no ;;
        1) computed[$target]=yes ;;
        2) present[$target]=no ;;
        esac
        check
        checkFolder
        ;;
    137)
        kills=$((kills + 1))
        # A journal left behind: killed in the middle of writing the file.
        [ ! -e "$db-journal" ] || midsave=$((midsave + 1))
        case $op in
        0) present[$target]=maybe computed[$target]=no ;;
        1) [ "${computed[$target]}" = yes ] || computed[$target]=maybe ;;
        2) present[$target]=maybe ;;
        esac
        check
        ;;
    *)
        fail "${args[0]} ended with status $status: $(cat "$work/err")"
        ;;
    esac
done

# One more writer that finishes removes whatever the last kill left.
trial=end
"$cli" import "$record" --name last --db "$db" >/dev/null
present[last]=yes computed[last]=no
check
checkFolder

echo "$trials trials (seed $seed): $kills killed ($midsave while writing the file)," \
    "$finished finished, $failures failures"
[ "$failures" -eq 0 ]
