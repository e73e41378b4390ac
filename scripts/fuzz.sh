#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang into build/fuzz and runs each for a bounded
# time from its committed seed corpus. New inputs go to build/fuzz/corpus, crashes to
# build/fuzz/artifacts; a crash fails the script. Usage: scripts/fuzz.sh [SECONDS_PER_TARGET]
set -euo pipefail
cd "$(dirname "$0")/.."
export JAVA_HOME=${JAVA_HOME:-/usr/lib/jvm/java-17-openjdk-amd64}
seconds=${1:-20}

# clang with its libFuzzer runtime, installed like the other build packages when missing.
scripts/install-packages.sh clang libclang-rt-14-dev

CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DI2C_DLN_FUZZ=ON -DI2C_DLN_TESTS=OFF -DI2C_DLN_JAVA=OFF >/dev/null
cmake --build build/fuzz -j2 --target fuzz_targets

mkdir -p build/fuzz/artifacts
# Runs one target; its log is build/fuzz/TARGET.log.
Fuzz() {
    local target=$1
    mkdir -p "build/fuzz/corpus/$target"
    "build/fuzz/bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=1024 -artifact_prefix="build/fuzz/artifacts/$target-" \
        -print_final_stats=1 "build/fuzz/corpus/$target" "fuzz/corpus/$target" \
        >"build/fuzz/$target.log" 2>&1
}

# Each fuzzer uses one core: as many run at once as the machine has cores.
targets=(eeprom_image wire_request scenario native_methods)
cores=$(nproc)
failed=0
for ((first = 0; first < ${#targets[@]}; first += cores)); do
    batch=("${targets[@]:first:cores}")
    echo "fuzzing ${batch[*]} for $seconds s"
    pids=()
    for target in "${batch[@]}"; do
        Fuzz "$target" &
        pids+=($!)
    done
    for i in "${!batch[@]}"; do
        target=${batch[$i]}
        log="build/fuzz/$target.log"
        if ! wait "${pids[$i]}"; then
            tail -n 40 "$log"
            echo "fuzz_$target failed; the input is in build/fuzz/artifacts"
            failed=1
        else
            echo "$target: $(grep -E "^Done" "$log" || echo "no final line")"
        fi
    done
    [ "$failed" -eq 0 ] || exit 1
done
