#!/usr/bin/env bash
# The demo: installs what is missing, builds, starts dln-sim with the default robot, runs the
# Java demo against it and stops the simulator again.
set -euo pipefail
cd "$(dirname "$0")/.."
export JAVA_HOME=${JAVA_HOME:-/usr/lib/jvm/java-17-openjdk-amd64}
scripts/setup.sh build/release -DI2C_DLN_CXX_TESTS=OFF
exec scripts/run-demo.sh build/release
