#!/usr/bin/env bash
# Runs every test: the C++ tests under AddressSanitizer and UndefinedBehaviorSanitizer, then the
# end-to-end tests from Java against dln-sim over TCP. Installs and builds what is missing.
# Ends with one line naming the tests that were skipped, and fails when a test was skipped
# although the packages it needs are installed.
set -euo pipefail
cd "$(dirname "$0")/.."
export JAVA_HOME=${JAVA_HOME:-/usr/lib/jvm/java-17-openjdk-amd64}

# What the tests beyond the build need, installed before any runs so that none has to skip:
# Chromium driven through chromedriver (the live page), Maven's install plugin (the jar in a
# local repository), mingw-w64 and wine (the Windows build and its runs), sigrok-cli (the bus
# waveforms decoded).
packages_installed=1
scripts/install-packages.sh chromium chromium-driver python3-selenium maven \
    libmaven-install-plugin-java g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
    wine wine64 sigrok-cli || packages_installed=0

mkdir -p build
ctest_log=build/ctest.log
: >"$ctest_log"
status=0
scripts/setup.sh build/sanitize -DCMAKE_BUILD_TYPE=Debug -DI2C_DLN_SANITIZE=ON -DI2C_DLN_JAVA=OFF
ctest --test-dir build/sanitize --output-on-failure -j "$(nproc)" | tee -a "$ctest_log" ||
    status=1

# Fuzzing: each libFuzzer target of fuzz/ for 20 s from its seed corpus (clang build in build/fuzz).
scripts/fuzz.sh 20 || status=1

# The JVM cannot load a sanitized library, so the Java tests use a plain build, without the
# C++ test programs that already ran above. With them run the linkage checks and the
# cross-build of I2C_DLN.dll and dln.dll with mingw-w64.
scripts/setup.sh build/release -DI2C_DLN_CXX_TESTS=OFF
ctest --test-dir build/release --output-on-failure -L 'java|release|windows' |
    tee -a "$ctest_log" || status=1

# ctest lists a skipped test as "  12 - name (Skipped)".
skipped=$(sed -n 's/^[[:space:]]*[0-9]* - \(.*\) (Skipped)$/\1/p' "$ctest_log" | tr '\n' ' ')
if [ -z "$skipped" ]; then
    echo "Skipped tests: none"
elif [ "$packages_installed" -eq 1 ]; then
    echo "Skipped tests: ${skipped% } -- FAIL: the packages they need are installed"
    status=1
else
    echo "Skipped tests: ${skipped% } (this machine could not install the packages they need)"
fi
exit "$status"
