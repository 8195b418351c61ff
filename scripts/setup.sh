#!/usr/bin/env bash
# Installs what the build needs (Debian 12), then configures and builds into build/.
# Sourced by run.sh and test.sh; quick when nothing changed.
set -euo pipefail

KELVORA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
KELVORA_BUILD="${KELVORA_BUILD:-$KELVORA_ROOT/build}"

packages=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-charts-dev qt6-svg-dev libqt6opengl6-dev libgl-dev
    libsqlite3-dev libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth
    poppler-utils # the certificate tests read the PDF back
    # The face of a fresh system and two common desktop faces, for the layout tests.
    fonts-dejavu-core fonts-liberation2 fonts-noto-core
    clang libclang-rt-14-dev # the fuzz targets: compiler and libFuzzer runtime
    ccache # shares what the build folders compile alike
    sqlite3 # the crash test keeps the database locked with it, as another program does
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo_cmd=(sudo)
    fi
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi

# The compiler cache takes paths inside the checkout as relative ones, so that the build folders
# (build/, build-perturbed/, ...) share what they compile alike.
export CCACHE_BASEDIR="$KELVORA_ROOT"

# KELVORA_CMAKE_ARGS: more options for the first configuration of the build folder.
if [ ! -f "$KELVORA_BUILD/CMakeCache.txt" ]; then
    # shellcheck disable=SC2086
    cmake -S "$KELVORA_ROOT" -B "$KELVORA_BUILD" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache \
        ${KELVORA_CMAKE_ARGS:-}
fi
cmake --build "$KELVORA_BUILD" -j"$(nproc)" ${KELVORA_BUILD_TARGETS:-}
