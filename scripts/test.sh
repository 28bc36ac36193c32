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

runtime_dir=
sanitizer_build=
cleanup() {
  [ -z "$sanitizer_build" ] || kill -- -"$sanitizer_build" 2>/dev/null || true
  [ -z "$runtime_dir" ] || rm -rf "$runtime_dir"
}
trap cleanup EXIT

# Qt wants a private runtime folder; the tests get one of their own.
if [ -z "${XDG_RUNTIME_DIR:-}" ] || [ ! -d "$XDG_RUNTIME_DIR" ]; then
  runtime_dir=$(mktemp -d "${TMPDIR:-/tmp}/numora-runtime.XXXXXX")
  export XDG_RUNTIME_DIR=$runtime_dir
fi

jobs=$(nproc)
summary=()
failed=0
elapsed() { printf '%dm %02ds' $(($1 / 60)) $(($1 % 60)); }

# build_tree NAME DIR BEGAN FLAG...: configures and builds DIR; a failure goes
# to the summary and keeps DIR's tests from running, not the next build.
build_tree() {
  local name=$1 dir=$2 began=$3
  shift 3
  if configure_tree "$dir" "$@" && cmake --build "$dir" -j "$jobs"; then
    return 0
  fi
  summary+=("$(printf '%-10s the build failed (%s)' "$name" "$(elapsed $((SECONDS - began)))")")
  failed=1
  return 1
}

# test_tree NAME DIR BEGAN: runs DIR's tests; the outcome goes to the summary.
test_tree() {
  local name=$1 dir=$2 began=$3
  local log="$dir/Testing/summary.log"
  mkdir -p "$dir/Testing"
  local rc=0
  # Two tests a processor: most of a test's time is spent waiting on a
  # window, a timer or another process, not computing.
  (cd "$dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $((jobs * 2)) --timeout 300) 2>&1 |
    tee "$log" ||
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

sanitizer_env() {
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
}
sanitizer_dir="$root/build-asan"
# Line tables only, as in the plain tree: a sanitizer's report still names
# every function, file and line of its stacks, and the build compiles a
# sixth faster than with the full debug information.
sanitizer_flags=(-DCMAKE_BUILD_TYPE=Debug -DNUMORA_WERROR=ON -DNUMORA_SANITIZE=ON -DNUMORA_BENCH=OFF
  -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DCMAKE_C_FLAGS_DEBUG=-g1)
sanitize=1
[ "${NUMORA_SKIP_SANITIZE:-0}" != 1 ] || sanitize=0

began=$SECONDS
# The sanitizer build starts at once, at the lowest priority, and runs beside
# the plain build and then the plain tests: it takes only the time they leave
# (the plain build's waits for its precompiled headers and its links, the
# tests' waits on windows, timers and other processes), and they run as they
# would alone. Its output follows the tests'. It runs in a process group of
# its own, which an interrupted or failed run ends.
sanitizer_began=$SECONDS
if [ "$sanitize" = 1 ]; then
  mkdir -p "$sanitizer_dir"
  sanitizer_log="$sanitizer_dir/build.log"
  set -m
  (
    renice -n 19 -p "$BASHPID" >/dev/null
    sanitizer_env
    configure_tree "$sanitizer_dir" "${sanitizer_flags[@]}" && cmake --build "$sanitizer_dir" -j "$jobs"
  ) >"$sanitizer_log" 2>&1 &
  sanitizer_build=$!
  set +m
fi

echo "==== plain build ($numora_tree)"
plain_built=0
build_tree plain "$numora_tree" "$began" "${numora_tree_flags[@]}" && plain_built=1
[ "$plain_built" = 0 ] || test_tree plain "$numora_tree" "$began"
# Alone now, the build takes back its usual priority where the user may give it.
[ -z "$sanitizer_build" ] || renice -n 0 -g "$sanitizer_build" >/dev/null 2>&1 || true

if [ "$sanitize" = 1 ]; then
  echo "==== sanitizer build ($sanitizer_dir)"
  sanitizer_rc=0
  wait "$sanitizer_build" || sanitizer_rc=$?
  sanitizer_build=
  cat "$sanitizer_log"
  if [ "$sanitizer_rc" -ne 0 ]; then
    summary+=("$(printf '%-10s the build failed (%s)' sanitizer "$(elapsed $((SECONDS - sanitizer_began)))")")
    failed=1
  else
    sanitizer_env
    test_tree sanitizer "$sanitizer_dir" "$sanitizer_began"
  fi
fi

echo
echo "==== Summary"
printf '%s\n' "${summary[@]}"
echo "Total time: $(elapsed $((SECONDS - start)))"
exit "$failed"
