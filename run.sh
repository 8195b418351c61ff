#!/usr/bin/env bash
# Installs what is missing, builds, and starts Kelvora. Without a display it calibrates the
# sample record with the command-line tool instead and says how to start the window.
set -euo pipefail
# Only what a user runs: the tests and benchmarks are built by ./test.sh.
export KELVORA_BUILD_TARGETS="--target kelvora kelvora-cli program_folder"
source "$(dirname "$0")/scripts/setup.sh"

program="$KELVORA_BUILD/program"
if [ -x "$program/kelvora" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
    exec "$program/kelvora" "$@"
fi

sample="$program/Data/Input/fixed-points-in-cu.txt"
echo "No display: calibrating the sample record $sample"
echo "with the command-line tool (Levenberg-Marquardt, then particle swarm)."
echo
status=0
"$program/kelvora-cli" fit "$sample" "$@" || status=$?
echo
echo "To work in the window, start ./run.sh from a terminal of your desktop session"
echo "(or the program itself: $program/kelvora)."
echo "What the command-line tool does: $program/kelvora-cli --help"
exit "$status"
