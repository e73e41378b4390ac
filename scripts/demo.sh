#!/usr/bin/env bash
# The demo: builds everything, starts dln-sim with the default robot, runs the Java demo
# against it and stops the simulator again, also when interrupted.
set -euo pipefail
cd "$(dirname "$0")/.."
export JAVA_HOME=${JAVA_HOME:-/usr/lib/jvm/java-17-openjdk-amd64}
scripts/setup.sh build/release

build=build/release
log=$(mktemp)
"$build/bin/dln-sim" >"$log" 2>&1 &
sim=$!
stop_sim() {
    kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null || true
    rm -f "$log"
}
trap stop_sim EXIT
trap 'exit 130' INT TERM

for _ in $(seq 100); do
    grep -q listening "$log" && break
    kill -0 "$sim" 2>/dev/null || { cat "$log"; exit 1; }
    sleep 0.1
done
grep -q listening "$log" || { echo "dln-sim did not start"; cat "$log"; exit 1; }

cd java/demo
"$JAVA_HOME/bin/java" -Djava.library.path="../../$build/lib" -cp "../../$build/java/classes" Demo
