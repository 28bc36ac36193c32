#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test, then runs the
# tests again in a build with AddressSanitizer and UndefinedBehaviorSanitizer.
# NUMORA_SKIP_SANITIZE=1 leaves the second build out.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

jobs=$(nproc)
run_suite() {
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -G Ninja -DNUMORA_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" --timeout 300)
}

run_suite "$root/build-test" -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [ "${NUMORA_SKIP_SANITIZE:-0}" != 1 ]; then
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  run_suite "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DNUMORA_SANITIZE=ON -DNUMORA_BENCH=OFF
fi
