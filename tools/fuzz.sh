#!/usr/bin/env bash
# Runs one fuzz target under libFuzzer for a bounded time, in its own clang build folder
# (build-fuzz/). New inputs go to build-fuzz/corpus/<target>; the seeds in fuzz/corpus/<target>
# are read but not changed. A crash leaves its input in build-fuzz/artifacts/.
# Usage: tools/fuzz.sh <target> [seconds]     e.g. tools/fuzz.sh archive 120
# Targets: settings language archive wav registry_hive profile resource_block machine_config
#          configuration packet reassembly
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=${1:?usage: tools/fuzz.sh <target> [seconds]}
seconds=${2:-60}
dir=${TOLM_FUZZ_BUILD:-$root/build-fuzz}
"$root/tools/install-deps.sh"
if [[ ! -f "$dir/CMakeCache.txt" ]]; then
    mkdir -p "$dir"
    flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
    CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTOLM_LIBFUZZER=ON -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
        -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
        -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" > "$dir.configure.log" 2>&1 \
        || { cat "$dir.configure.log"; exit 1; }
fi
cmake --build "$dir" -j "$(nproc)" --target "fuzz_$target"
mkdir -p "$dir/corpus/$target" "$dir/artifacts"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tools/lsan.supp}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
exec "$dir/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=65536 -artifact_prefix="$dir/artifacts/$target-" \
    "$dir/corpus/$target" "$root/fuzz/corpus/$target"
