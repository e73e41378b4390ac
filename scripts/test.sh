#!/usr/bin/env bash
# Runs every test: the C++ tests under AddressSanitizer and UndefinedBehaviorSanitizer, then the
# end-to-end tests from Java against dln-sim over TCP. Installs and builds what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
export JAVA_HOME=${JAVA_HOME:-/usr/lib/jvm/java-17-openjdk-amd64}

scripts/setup.sh build/sanitize -DI2C_DLN_SANITIZE=ON -DI2C_DLN_JAVA=OFF
ctest --test-dir build/sanitize --output-on-failure

# The JVM cannot load a sanitized library, so the Java tests use a plain build.
scripts/setup.sh build/release
# With them, the linkage checks, and I2C_DLN.dll and dln.dll cross-built with mingw-w64.
ctest --test-dir build/release --output-on-failure -L 'java|release|windows'
