#!/usr/bin/env bash
# Installs the Debian packages the build needs when they are missing, then configures and
# builds one build tree. Usage: scripts/setup.sh BUILD_DIR [extra cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-packages.sh cmake make g++ openjdk-17-jdk-headless libgtest-dev libgmock-dev \
    junit5 nlohmann-json3-dev libasio-dev pkg-config libcpp-httplib-dev libjs-chart.js

build_dir=$1
shift
# The JDK 17 headers and runtime, whatever other JDKs the machine has.
export JAVA_HOME=${JAVA_HOME:-/usr/lib/jvm/java-17-openjdk-amd64}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
