#!/usr/bin/env bash
# Adapter call latency with dln-sim's live page open and updating, next to without: raw reads
# from Java against dln-sim --http, alternating runs without a page client and with one
# (an event stream, as an open page holds, updated four times a second). Prints the median
# and 99th percentile per run, in microseconds. Usage: scripts/live_page_latency.sh [RUNS]
# (default 5) after a build of build/release; runs in a network namespace of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(pwd)/build/release
runs=${1:-5}
java=${JAVA_HOME:-/usr/lib/jvm/java-17-openjdk-amd64}/bin/java
if [ -z "${LATENCY_INSIDE:-}" ]; then
    LATENCY_INSIDE=1 exec unshare -rn "$0" "$@"
fi
ip link set lo up

work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
"$build/bin/dln-sim" --scenario java/bench/bench.json --http 0 >"$work/sim.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    grep -q "live page on" "$work/sim.log" && break
    sleep 0.1
done
page=$(sed -n 's/^dln-sim: live page on //p' "$work/sim.log")

reads() {
    (cd "$work" && "$java" -Djava.library.path="$build/lib" -cp "$build/java/classes" \
        ReadLatency 5000 2>&1 >/dev/null | tail -1)
}
echo "run  without page (median p99 us)  with page (median p99 us)"
for run in $(seq "$runs"); do
    without=$(reads)
    curl -sN "${page}api/events" >/dev/null &
    client=$!
    sleep 0.5
    with=$(reads)
    kill "$client"
    wait "$client" 2>/dev/null || true
    echo "$run    $without                     $with"
done
