#!/usr/bin/env bash
# Checks the system code's includes and calls (tools/check-system-code.sh), then builds and
# runs the whole test suite twice: a normal build in build/ and an address+undefined sanitizer
# build in build-asan/; then the platform's tests once more under the thread sanitizer in
# build-tsan/ (only their targets are built there).
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

tsan=$root/build-tsan
cmake -S "$root" -B "$tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLM_WERROR=ON \
    -DTOLM_SANITIZE_THREAD=ON > "$tsan.configure.log" 2>&1 || { cat "$tsan.configure.log"; exit 1; }
# Each test of the label runs the target of its name.
mapfile -t platform_tests < <(cd "$tsan" && ctest -N -L platform | sed -n 's/^ *Test *#[0-9]*: //p')
cmake --build "$tsan" -j "$jobs" --target "${platform_tests[@]}"
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
(cd "$tsan" && ctest --output-on-failure -j "$jobs" -L platform "$@") || status=1

if ((status)); then
    echo "tests FAILED"
else
    echo "all tests passed in the normal, the sanitizer and the thread-sanitizer build"
fi
exit $status
