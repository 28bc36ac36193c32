# Sourced by run.sh and test.sh: the build tree they share and how it is
# configured, so that either one builds only what the other has not built.
numora_tree="$root/build"
# Optimised as the benchmarks measure it (-O2), with line tables only
# (-g1): a backtrace or a profile still names every function, file and line,
# and compiling takes about a third less than with the full debug
# information, which only stepping in a debugger uses (a Debug tree has it).
numora_release_flags="-O2 -g1 -DNDEBUG"
numora_tree_flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DNUMORA_WERROR=ON
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=$numora_release_flags" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=$numora_release_flags")

# configure_tree DIR FLAG...: configures DIR with these flags unless it was
# configured with them already (ninja itself configures again when a
# CMakeLists.txt changes).
configure_tree() {
  local dir=$1
  shift
  local stamp="$dir/.numora-flags"
  if [ -f "$dir/build.ninja" ] && [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$*" ]; then
    return 0
  fi
  cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
  printf '%s' "$*" >"$stamp"
}
