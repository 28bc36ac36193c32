#!/usr/bin/env bash
# Builds Numora and starts it on a sample data folder (made on first use).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build"

sample="${NUMORA_SAMPLE_DIR:-$root/sample}"
mkdir -p "$sample"
if [ ! -e "$sample/VEMO.MDB" ]; then
  "$root/build/tools/numora-dbtool" sample "$sample/VEMO.MDB" 300
fi
# The placement control library registers itself before the program's first start.
if [ -x "$root/build/tools/numora-regsvr" ]; then
  "$root/build/tools/numora-regsvr" "$root/build/placement/libKwendo.so" || true
fi
cd "$sample"
exec "$root/build/app/Vemo7" "$@"
