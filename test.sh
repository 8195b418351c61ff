#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
#
#   ./test.sh [CTEST ARGS]              the normal build, in build/
#   ./test.sh --sanitize [CTEST ARGS]   everything built with AddressSanitizer and
#                                       UndefinedBehaviorSanitizer, in build-sanitize/; any
#                                       finding fails the test that meets it
#   ./test.sh --perturbed [CTEST ARGS]  everything built as on another processor: every
#                                       logarithm and exponential one unit in the last place
#                                       off, in build-perturbed/
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"

case "${1:-}" in
--sanitize)
    shift
    export KELVORA_BUILD="$root/build-sanitize"
    export KELVORA_CMAKE_ARGS="-DKELVORA_SANITIZE=ON -DKELVORA_BUILD_BENCH=OFF"
    export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=1:strict_init_order=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    export LSAN_OPTIONS="suppressions=$root/tests/sanitizer/lsan.supp:print_suppressions=0"
    ;;
--perturbed)
    shift
    export KELVORA_BUILD="$root/build-perturbed"
    export KELVORA_CMAKE_ARGS="-DKELVORA_PERTURB_TRANSCENDENTALS=ON -DKELVORA_BUILD_BENCH=OFF"
    ;;
esac
source "$root/scripts/setup.sh"

cd "$KELVORA_BUILD"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" --timeout 120 "$@"
