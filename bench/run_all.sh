#!/usr/bin/env bash
# Runs every benchmark script in bench/ against the given build folder.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
for script in "$here"/*.bench.sh; do
  [ -e "$script" ] || continue
  echo "== $(basename "$script")"
  bash "$script" "$build"
done
