# Sourced by run.sh and test.sh: the build tree they share and how it is
# configured, so that either one builds only what the other has not built.
numora_tree="$root/build"
numora_tree_flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DNUMORA_WERROR=ON)

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
