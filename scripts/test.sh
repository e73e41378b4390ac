#!/usr/bin/env bash
# Runs every test: the C++ tests under AddressSanitizer and UndefinedBehaviorSanitizer, then the
# end-to-end tests from Java against dln-sim over TCP. Installs and builds what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
export JAVA_HOME=${JAVA_HOME:-/usr/lib/jvm/java-17-openjdk-amd64}

scripts/setup.sh build/sanitize -DCMAKE_BUILD_TYPE=Debug -DI2C_DLN_SANITIZE=ON -DI2C_DLN_JAVA=OFF
# The bus waveforms' test decodes them with sigrok-cli.
scripts/install-packages.sh sigrok-cli
ctest --test-dir build/sanitize --output-on-failure -j "$(nproc)"

# Fuzzing: each libFuzzer target of fuzz/ for 20 s from its seed corpus (clang build in build/fuzz).
scripts/fuzz.sh 20

# The JVM cannot load a sanitized library, so the Java tests use a plain build, without the
# C++ test programs that already ran above. With them run the linkage checks and the
# cross-build of I2C_DLN.dll and dln.dll with mingw-w64.
scripts/setup.sh build/release -DI2C_DLN_CXX_TESTS=OFF
ctest --test-dir build/release --output-on-failure -L 'java|release|windows'
