#!/usr/bin/env bash
# The demo: installs what is missing, builds, starts dln-sim with the default robot, runs the
# Java demo against it and stops the simulator again. With --http (or DEMO_HTTP=1) dln-sim
# also serves its live page of the robot (port DEMO_HTTP_PORT, default 8080): the demo prints
# its address, waits a few seconds for a browser to open it, and keeps the simulator running
# after the demo until Ctrl-C. DLN_SERVER (a port, or 127.0.0.1:port) moves the adapter port
# from 9656, for a machine where another dln-sim or server holds it.
set -euo pipefail
cd "$(dirname "$0")/.."
export JAVA_HOME=${JAVA_HOME:-/usr/lib/jvm/java-17-openjdk-amd64}
scripts/setup.sh build/release -DI2C_DLN_CXX_TESTS=OFF
[ "${1:-}" = --http ] && export DEMO_HTTP=1
exec scripts/run-demo.sh build/release
