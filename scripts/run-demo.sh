#!/usr/bin/env bash
# Runs the demo from an existing build: starts dln-sim with the default robot, runs the Java
# demo in BUILD_DIR/demo (where it reads program.hex and writes zz.dat) and stops the simulator
# again on every path, also when interrupted. Usage: scripts/run-demo.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "$1" && pwd)
java=${JAVA_HOME:-/usr/lib/jvm/java-17-openjdk-amd64}/bin/java

log=$(mktemp)
sim=""
stop_sim() {
    if [ -n "$sim" ]; then
        kill "$sim" 2>/dev/null || true
        wait "$sim" 2>/dev/null || true
    fi
    rm -f "$log"
}
trap stop_sim EXIT
trap 'exit 130' INT TERM

"$build/bin/dln-sim" >"$log" 2>&1 &
sim=$!
for _ in $(seq 100); do
    grep -q listening "$log" && break
    kill -0 "$sim" 2>/dev/null || { cat "$log"; exit 1; }
    sleep 0.1
done
grep -q listening "$log" || { echo "dln-sim did not start"; cat "$log"; exit 1; }

mkdir -p "$build/demo"
cp java/demo/program.hex "$build/demo/"
cd "$build/demo"
"$java" -Djava.library.path="$build/lib" -cp "$build/java/classes" Demo
