#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test, then runs the
# tests again in a build with AddressSanitizer and UndefinedBehaviorSanitizer,
# and ends with each build's result and the time taken.
# NUMORA_SKIP_SANITIZE=1 leaves the second build out.
set -euo pipefail
start=$SECONDS
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
. "$root/scripts/tree.sh"

# ccache, where a developer uses it, caches sources built on a precompiled header.
export CCACHE_SLOPPINESS=${CCACHE_SLOPPINESS:-pch_defines,time_macros,include_file_mtime,include_file_ctime}

# Qt wants a private runtime folder; the tests get one of their own.
if [ -z "${XDG_RUNTIME_DIR:-}" ] || [ ! -d "$XDG_RUNTIME_DIR" ]; then
  XDG_RUNTIME_DIR=$(mktemp -d "${TMPDIR:-/tmp}/numora-runtime.XXXXXX")
  export XDG_RUNTIME_DIR
  trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi

jobs=$(nproc)
summary=()
failed=0
# run_suite NAME DIR FLAG...: builds DIR and runs its tests; the outcome goes
# to the summary, and a failure does not keep the next build from running.
run_suite() {
  local name=$1 dir=$2
  shift 2
  local began=$SECONDS
  echo "==== $name build ($dir)"
  if ! configure_tree "$dir" "$@" || ! cmake --build "$dir" -j "$jobs"; then
    summary+=("$(printf '%-10s the build failed (%s)' "$name" "$(elapsed $((SECONDS - began)))")")
    failed=1
    return
  fi
  local log="$dir/Testing/summary.log"
  mkdir -p "$dir/Testing"
  local rc=0
  (cd "$dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" --timeout 300) 2>&1 | tee "$log" ||
    rc=$?
  local line
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1 || true)
  if [ -n "$line" ]; then
    local total failures
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    failures=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    local skipped
    skipped=$(grep -cE '\*\*\*Skipped|Not Run' "$log" || true)
    summary+=("$(printf '%-10s %d passed, %d failed, %d skipped, of %d tests (%s)' "$name" \
      $((total - failures - skipped)) "$failures" "$skipped" "$total" "$(elapsed $((SECONDS - began)))")")
    [ "$failures" -eq 0 ] || summary+=("$(sed -n '/The following tests FAILED/,$p' "$log" | grep -E '^[[:space:]]+[0-9]+ - ')")
  else
    summary+=("$(printf '%-10s the tests did not run to the end' "$name")")
  fi
  [ "$rc" -eq 0 ] || failed=1
}
elapsed() { printf '%dm %02ds' $(($1 / 60)) $(($1 % 60)); }

run_suite plain "$numora_tree" "${numora_tree_flags[@]}"
if [ "${NUMORA_SKIP_SANITIZE:-0}" != 1 ]; then
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  run_suite sanitizer "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DNUMORA_WERROR=ON -DNUMORA_SANITIZE=ON \
    -DNUMORA_BENCH=OFF
fi

echo
echo "==== Summary"
printf '%s\n' "${summary[@]}"
echo "Total time: $(elapsed $((SECONDS - start)))"
exit "$failed"
