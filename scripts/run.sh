#!/usr/bin/env bash
# Builds Numora and starts it on a sample data folder (made on first use). It
# shares the tests' build tree and builds only the program and what it needs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
. "$root/scripts/tree.sh"
configure_tree "$numora_tree" "${numora_tree_flags[@]}"
cmake --build "$numora_tree" --target Vemo7 numora-dbtool numora-regsvr numora-dialer Kwendo

sample="${NUMORA_SAMPLE_DIR:-$root/sample}"
mkdir -p "$sample"
if [ ! -e "$sample/VEMO.MDB" ]; then
  "$numora_tree/tools/numora-dbtool" sample "$sample/VEMO.MDB" 300
fi
# The placement control library registers itself before the program's first start.
"$numora_tree/tools/numora-regsvr" "$numora_tree/placement/libKwendo.so" || true
cd "$sample"
exec "$numora_tree/app/Vemo7" "$@"
