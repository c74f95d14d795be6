#!/usr/bin/env bash
# Checks the system code's includes and calls (tools/check-system-code.sh), then builds and
# runs the whole test suite twice: a normal build in build/ and an address+undefined sanitizer
# build in build-asan/.
# Usage: tools/test.sh [ctest args...]   e.g. tools/test.sh -L machine
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
status=0

# Fails fast when system code reaches past the documented interface.
"$root/tools/check-system-code.sh"

"$root/tools/build.sh" "$root/build"
(cd "$root/build" && ctest --output-on-failure -j "$jobs" "$@") || status=1

"$root/tools/build.sh" "$root/build-asan" -DTOLM_SANITIZE=ON
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1
export LSAN_OPTIONS=suppressions=$root/tools/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd "$root/build-asan" && ctest --output-on-failure -j "$jobs" "$@") || status=1

if ((status)); then
    echo "tests FAILED"
else
    echo "all tests passed in the normal and the sanitizer build"
fi
exit $status
