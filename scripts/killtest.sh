#!/usr/bin/env bash
# Crash consistency of the database file: starts kelvora-cli import, calibrate, delete or
# certificate, kills it with SIGKILL at a random moment, and checks after every kill that the
# database loads and holds every operation that finished before it. After every operation that
# finishes, the folder holds the database file alone: nothing a killed process left stays.
#
# Certificates are registered in the database before their file is written: after every trial
# no certificate file carries a number that the register does not hold, no number is in the
# register twice, and every certificate file is the document its number's entry exports.
#
# The database has a second name, a symbolic link in another folder: each operation reaches it
# under one of the two, and in some trials a second writer imports at the same moment under the
# other name (it finishes, or is refused because the first holds the lock; what it finished
# must stay). In some trials another program (the sqlite3 shell) keeps the file locked for a
# moment while the operation starts, and the operation waits for it.
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
link="$work/Other/kelvora.dbs"
out="$work/Out"
mkdir "$work/DB" "$work/Other" "$out"
ln -s ../DB/kelvora.dbs "$link"
RANDOM="$seed"

declare -A present  # record name -> yes, no, maybe
declare -A computed # record name -> yes, no, maybe
failures=0 kills=0 finished=0 midsave=0 refused=0 pairs=0 busy=0 certificates=0

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

# The register as "number sha256" per line, "null" for an entry without document.
registered() {
    "$cli" certificates --json --db "$db" \
        | awk -F'"' '/"number":/ { n = $4 } /"sha256":/ { print n, ($4 == "" ? "null" : $4) }'
}

# Every certificate file (and every temporary one that a kill left whole) carries a number of
# the register, and a finished file is its document byte for byte; no number is there twice.
checkCertificates() {
    local lines file text number
    if ! lines="$(registered)"; then
        fail "the register does not load"
        return
    fi
    local twice
    twice="$(echo "$lines" | awk 'NF { print $1 }' | sort | uniq -d)"
    [ -z "$twice" ] || fail "numbers in the register twice: $twice"
    for file in "$out"/*; do
        [ -e "$file" ] || continue
        if ! text="$(pdftotext -layout "$file" - 2>/dev/null)"; then
            # A temporary file that the kill left half written carries no number yet.
            case "$file" in *.tmp-*) continue ;; esac
            fail "$file is no certificate"
            continue
        fi
        number="$(echo "$text" | grep -o 'Certificate number  *[^ ]*' | head -n 1 \
            | awk '{ print $3 }')"
        if ! echo "$lines" | awk -v n="$number" '$1 == n { found = 1 } END { exit !found }'; then
            fail "$file carries $number, which the register does not hold"
            continue
        fi
        case "$file" in *.tmp-*) continue ;; esac
        if ! "$cli" certificate --export "$number" -o "$work/export.pdf" --force --db "$db" \
            >/dev/null 2>&1; then
            fail "$number cannot be written again"
        elif ! cmp -s "$file" "$work/export.pdf"; then
            fail "$file is not the document registered as $number"
        fi
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
certificateTime=$(duration "$cli" certificate r0 -o "$work/timed.pdf" --db "$db")
rm -f "$work/timed.pdf"
deleteTime=$(duration "$cli" delete r0 --db "$db")

# The second writer of a trial: an import under the other name, never killed.
pairDone() {
    local status=0
    wait "$pairPid" 2>/dev/null || status=$?
    case $status in
    0) present[$pairName]=yes computed[$pairName]=no ;;
    1)
        grep -q "is in use by a running copy of Kelvora" "$work/pair.err" \
            || fail "the second writer was refused: $(cat "$work/pair.err")"
        present[$pairName]=no computed[$pairName]=no
        ;;
    *) fail "the second writer ended with status $status: $(cat "$work/pair.err")" ;;
    esac
}

for trial in $(seq 1 "$trials"); do
    names=()
    for name in "${!present[@]}"; do
        [ "${present[$name]}" = yes ] && names+=("$name")
    done
    calibrated=()
    for name in "${names[@]}"; do
        [ "${computed[$name]}" = yes ] && calibrated+=("$name")
    done
    op=$((RANDOM % 4))
    if [ "${#names[@]}" -lt 4 ]; then
        op=0
    fi
    target="${names[$((RANDOM % ${#names[@]}))]:-}"
    if [ "$op" -eq 3 ]; then
        if [ "${#calibrated[@]}" -eq 0 ]; then
            op=1
        else
            target="${calibrated[$((RANDOM % ${#calibrated[@]}))]}"
        fi
    fi
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
    3)
        # Another customer each time, so that the record has changed since its last one.
        certificates=$((certificates + 1))
        args=(certificate "$target" -o "$out/$target-$trial.pdf" --customer "Customer $trial")
        delay=$((RANDOM % (certificateTime * 5 / 4 + 1)))
        ;;
    esac
    under="$db" other="$link"
    if [ $((RANDOM % 2)) -eq 1 ]; then
        under="$link" other="$db"
    fi
    holder=""
    if [ $((RANDOM % 5)) -eq 0 ]; then
        busy=$((busy + 1))
        hold=$((100 + RANDOM % 700))
        (echo 'BEGIN EXCLUSIVE;'; sleep "0.$(printf '%03d' "$hold")"; echo 'COMMIT;') \
            | sqlite3 "$db" &
        holder=$!
        delay=$((delay + hold))
        sleep 0.05
    fi
    "$cli" "${args[@]}" --db "$under" >/dev/null 2>"$work/err" &
    pid=$!
    pairPid=""
    if [ $((RANDOM % 4)) -eq 0 ]; then
        pairs=$((pairs + 1))
        pairName="p$trial"
        present[$pairName]=maybe computed[$pairName]=no
        "$cli" import "$record" --name "$pairName" --db "$other" >/dev/null 2>"$work/pair.err" &
        pairPid=$!
    fi
    sleep "$(printf '%d.%03d' $((delay / 1000)) $((delay % 1000)))"
    kill -KILL "$pid" 2>/dev/null || true
    status=0
    wait "$pid" 2>/dev/null || status=$?
    [ -z "$pairPid" ] || pairDone
    [ -z "$holder" ] || wait "$holder" || fail "the sqlite3 shell could not hold the lock"
    if [ "$status" -eq 1 ] && grep -q "is in use by a running copy of Kelvora" "$work/err"; then
        # The second writer held the lock: nothing of this operation happened.
        refused=$((refused + 1))
        [ "$op" -ne 0 ] || present[$target]=no computed[$target]=no
        check
        continue
    fi
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
        [ "$op" -ne 3 ] || [ -e "$out/$target-$trial.pdf" ] || fail "no certificate written"
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
    [ "$op" -ne 3 ] || checkCertificates
done

# One more writer that finishes removes whatever the last kill left.
trial=end
"$cli" import "$record" --name last --db "$db" >/dev/null
present[last]=yes computed[last]=no
check
checkFolder

checkCertificates
echo "$trials trials (seed $seed): $kills killed ($midsave while writing the file)," \
    "$finished finished, $refused refused for a second writer ($pairs trials with one, $busy" \
    "with the file kept locked by another program), $certificates certificates issued or" \
    "killed, $(registered | wc -l) registered, $failures failures"
[ "$failures" -eq 0 ]
