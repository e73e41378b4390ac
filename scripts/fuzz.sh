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
for target in eeprom_image wire_request scenario native_methods; do
    mkdir -p "build/fuzz/corpus/$target"
    echo "fuzzing $target for $seconds s"
    log="build/fuzz/$target.log"
    if ! "build/fuzz/bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=1024 -artifact_prefix="build/fuzz/artifacts/$target-" \
        -print_final_stats=1 "build/fuzz/corpus/$target" "fuzz/corpus/$target" >"$log" 2>&1; then
        tail -n 40 "$log"
        echo "fuzz_$target failed; the input is in build/fuzz/artifacts"
        exit 1
    fi
    grep -E "^stat::number_of_executed_runs|^Done" "$log" || true
done
