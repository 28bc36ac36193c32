#!/usr/bin/env bash
# Formats the tracked C and C++ sources by .clang-format; with --check, only
# tells which files are not formatted and fails when any is not.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
clang_format=${CLANG_FORMAT:-clang-format}
if ! command -v "$clang_format" >/dev/null; then
  echo "format: $clang_format is not installed" >&2
  exit 77
fi
if ! git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  echo "format: not a git work tree; nothing to check" >&2
  exit 77
fi
mapfile -t files < <(git ls-files -- '*.c' '*.cpp' '*.h')
if [ "${1:-}" = --check ]; then
  exec "$clang_format" --dry-run -Werror "${files[@]}"
fi
exec "$clang_format" -i "${files[@]}"
