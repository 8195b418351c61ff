#!/usr/bin/env bash
# Installs what is missing, builds, and starts Kelvora.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"

program="$KELVORA_BUILD/program"
if [ -x "$program/kelvora" ]; then
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "No display found: starting Kelvora under a virtual X server (xvfb-run)."
        exec xvfb-run -a -s "-screen 0 1400x900x24" "$program/kelvora" "$@"
    fi
    exec "$program/kelvora" "$@"
fi
exec "$program/kelvora-cli" fit "$program/Data/Input/fixed-points-in-cu.txt" "$@"
