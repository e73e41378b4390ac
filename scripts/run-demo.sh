#!/usr/bin/env bash
# Runs the demo from an existing build: starts dln-sim with the default robot, runs the Java
# demo in BUILD_DIR/demo (where it reads program.hex and writes zz.dat) and stops the simulator
# again on every path, also when interrupted. Usage: scripts/run-demo.sh BUILD_DIR
# With DEMO_HTTP=1 dln-sim serves its live page on DEMO_HTTP_PORT (default 8080) and keeps
# running after the demo until interrupted. DLN_SERVER (a port, or 127.0.0.1:port) picks the
# adapter port dln-sim listens on and the demo connects to (default 9656).
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

# The adapter port: DLN_SERVER's port, which the demo's dln reads too.
server=${DLN_SERVER:-9656}
port=${server##*:}
case "$port" in
    ''|*[!0-9]*) echo "DLN_SERVER=$server: expected a port or 127.0.0.1:port"; exit 2 ;;
esac
export DLN_SERVER=127.0.0.1:$port
page=()
[ "${DEMO_HTTP:-0}" = 1 ] && page=(--http "${DEMO_HTTP_PORT:-8080}")
"$build/bin/dln-sim" --port "$port" "${page[@]}" >"$log" 2>&1 &
sim=$!
for _ in $(seq 600); do # up to 60 s, for a loaded machine
    grep -q listening "$log" && break
    kill -0 "$sim" 2>/dev/null || { cat "$log"; exit 1; }
    sleep 0.1
done
grep -q listening "$log" || { echo "dln-sim did not start"; cat "$log"; exit 1; }

if [ "${DEMO_HTTP:-0}" = 1 ]; then
    sleep 0.2
    address=$(sed -n 's/^dln-sim: live page on //p' "$log")
    echo "The robot, live: $address (the demo starts in 5 s)"
    sleep 5
fi

mkdir -p "$build/demo"
cp java/demo/program.hex "$build/demo/"
cd "$build/demo"
status=0
"$java" -Djava.library.path="$build/lib" -cp "$build/java/classes" Demo || status=$?
if [ "${DEMO_HTTP:-0}" = 1 ]; then
    echo "dln-sim keeps serving $address; Ctrl-C stops it."
    wait "$sim" || true
fi
exit "$status"
