#!/usr/bin/env bash
# Installs what is missing, then configures and builds into build/ (or the folder given).
# Usage: tools/build.sh [build-dir [extra cmake args...]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh"
dir=${1:-$root/build}
shift || true
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLM_WERROR=ON "$@" > "$dir.configure.log" 2>&1 \
    || { cat "$dir.configure.log"; exit 1; }
cmake --build "$dir" -j "$(nproc)"
