#!/usr/bin/env bash
# Measures dln-sim's adapter latency model end to end, in one run:
#   1. a raw `read` (ReadLatency) against a model of L ms per USB call, L = 1 and 2, next to
#      the model of its calls (the held times in dln-sim's trace);
#   2. 64 clients waiting on held replies at once: dln-sim's threads, its memory growth and
#      each reply's extra time against its model;
#   3. a recording stretched to 50 times its call durations, replayed with
#      --replay-timing recorded, against its recorded time;
#   4. examples.Patrol on the default robot and under --latency robot: its loop periods.
# Usage: scripts/latency_bench.sh [BUILD_DIR] (default build/release, built with the Java side).
# Results land in BUILD_DIR/latency-results.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-packages.sh python3 jq
export JAVA_HOME=${JAVA_HOME:-/usr/lib/jvm/java-17-openjdk-amd64}
java="$JAVA_HOME/bin/java"
root=$(pwd)
build=$(cd "${1:-build/release}" && pwd)
results=$build/latency-results
rm -rf "$results"
mkdir -p "$results"
work=$(mktemp -d)
sim=""
stop_sim() {
    [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null || true
    sim=""
}
trap 'stop_sim; rm -rf "$work"' EXIT

# start_sim [dln-sim options...]: on a free port, which lands in $port.
start_sim() {
    # The shell truncates the log in the child: a stale ready line must not be read before.
    rm -f "$work/sim.log"
    "$build/bin/dln-sim" --port 0 "$@" >"$work/sim.log" 2>&1 &
    sim=$!
    for _ in $(seq 100); do
        if grep -qs listening "$work/sim.log"; then
            port=$(sed -n 's/.*listening on [^ ]*:\([0-9]*\) with.*/\1/p' "$work/sim.log")
            return 0
        fi
        kill -0 "$sim" 2>/dev/null || break
        sleep 0.1
    done
    echo "dln-sim $* did not start:"; cat "$work/sim.log"; exit 1
}

run_java() { # CLASS ARGS...: against $port, the library's lines discarded
    (cd "$work" && DLN_SERVER=$port I2C_DLN_OUTPUT=discard "$java" \
        -Djava.library.path="$build/lib" -cp "$build/java/classes" "$@")
}

# A scenario: the benchmark's robot with the latency model given as JSON.
with_latency() {
    jq --argjson latency "$1" '.adapter.latency = $latency' java/bench/bench.json
}

echo "== 1. A read against L ms per USB call (and 0.1 ms per server-only call)"
start_sim --scenario java/bench/bench.json
read -r loopback _ < <(run_java ReadLatency 200 2>&1 >/dev/null)
stop_sim
for l in 1 2; do
    with_latency "{\"usb\": {\"medianMs\": $l}, \"server\": {\"medianMs\": 0.1}}" >"$work/l$l.json"
    start_sim --scenario "$work/l$l.json" --trace "$work/l$l.trace"
    read -r median p99 < <(run_java ReadLatency 200 2>&1 >/dev/null)
    stop_sim
    # The model of one read: its calls' held times, over the reads made.
    jq -Rnr --arg l "$l" --arg median "$median" --arg loopback "$loopback" '
        [inputs | capture("^\\S+ (?<call>\\S+) .*held=(?<us>[0-9]+)us")] as $calls
        | ($calls | map(select(.call == "DlnI2cMasterRead")) | length) as $reads
        | ($calls | map(.us | tonumber) | add / $reads / 1000) as $model
        | ($calls | map(select(.us == "100")) | length / $reads) as $server
        | ($median | tonumber / 1000) as $took | ($loopback | tonumber / 1000) as $bare
        | def r: . * 1000 | round / 1000;
        "L = \($l) ms: \($calls | length / $reads) calls a read, \($server) of them server-only; model \($model | r) ms; measured median \($took | r) ms (\($bare | r) ms without latency): measured/model \($took / $model | r), (measured - without)/model \(($took - $bare) / $model | r)"
    ' "$work/l$l.trace" | tee -a "$results/read.txt"
done

echo "== 2. 64 clients held 100 ms at once, 20 rounds"
with_latency '{"server": {"medianMs": 100}}' >"$work/held.json"
start_sim --scenario "$work/held.json"
python3 - "$sim" "$port" <<'PY' | tee "$results/clients.txt"
import socket, struct, sys, time, select
pid, port = int(sys.argv[1]), int(sys.argv[2])
def status():
    fields = dict(line.split(":", 1) for line in open(f"/proc/{pid}/status"))
    return int(fields["VmRSS"].split()[0]), int(fields["Threads"])
# DlnConnect as our dln frames it: length, version 2, call 1, sequence, then zeros.
body = struct.pack("<BBIHBBBIIH", 2, 1, 7, 0, 0, 0, 0, 0, 0, 0)
frame = struct.pack("<I", len(body)) + body
socks = [socket.create_connection(("127.0.0.1", port)) for _ in range(64)]
for s in socks:
    s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
rss0, threads0 = status()
extra, most_threads, rss_max = [], threads0, rss0
for round in range(20):
    start = time.monotonic()
    for s in socks:
        s.sendall(frame)
    # Every reply is waiting on its timer now (no sleep here: a sleep would oversleep on a
    # busy machine and count as the server's time).
    rss, threads = status()
    most_threads, rss_max = max(most_threads, threads), max(rss_max, rss)
    pending = set(socks)
    while pending:
        ready, _, _ = select.select(list(pending), [], [], 5)
        now = time.monotonic()
        for s in ready:
            s.recv(64)
            extra.append((now - start) * 1000 - 100)
            pending.discard(s)
extra.sort()
print(f"threads of dln-sim: {threads0} before, at most {most_threads} while 64 replies were held")
print(f"resident memory: {rss0} KiB with 64 idle clients, at most {rss_max} KiB while held (+{rss_max - rss0} KiB)")
print(f"reply after 100 ms model, over {len(extra)} replies: extra median {extra[len(extra)//2]:.2f} ms, "
      f"p95 {extra[len(extra)*95//100]:.2f} ms, max {extra[-1]:.2f} ms (never below 0: {extra[0] >= 0})")
PY
stop_sim

echo "== 3. A recording stretched to 50 times its call durations, replayed as recorded"
# The time of each replay includes the JVM's start, as the recorded span does not.
start_sim
(cd "$work" && DLN_SERVER=$port I2C_DLN_OUTPUT=discard LD_LIBRARY_PATH="$build/lib/record" \
    DLN_RECORD_TARGET="$build/lib/libdln.so" DLN_RECORD_FILE="$work/run.jsonl" \
    "$java" -Djava.library.path="$build/lib" -cp "$build/java/classes" ReadLatency 200 2>/dev/null)
stop_sim
# Each call 50 times as long, and every later call later by what the earlier ones grew.
python3 - "$work/run.jsonl" "$work/stretched.jsonl" <<'PY' | tee "$results/replay.txt"
import json, sys
lines = [json.loads(l) for l in open(sys.argv[1])]
# Our dln gives up on a reply after about 2 s: a stretched call stays below that.
LIMIT = 1_500_000
shift, inside, capped, out = 0, 0, 0, []
for l in lines:
    if "seq" in l:
        stretched = min(50 * l["durationUs"], LIMIT)
        capped += stretched < 50 * l["durationUs"]
        l["timeUs"] += shift
        shift += stretched - l["durationUs"]
        l["durationUs"] = stretched
        inside += l["durationUs"]
    out.append(json.dumps(l, separators=(",", ":")))
open(sys.argv[2], "w").write("\n".join(out) + "\n")
calls = [l for l in lines if "seq" in l]
span = calls[-1]["timeUs"] + calls[-1]["durationUs"] - calls[0]["timeUs"]
print(f"stretched recording: {len(calls)} calls over {span / 1e6:.2f} s, {inside / 1e6:.2f} s inside calls, "
      f"{capped} calls capped at {LIMIT / 1e6} s")
open(sys.argv[2] + ".span", "w").write(str(span))
PY
for timing in none recorded; do
    start_sim --replay "$work/stretched.jsonl" --replay-timing "$timing"
    t0=$(date +%s%N)
    run_java ReadLatency 200 2>/dev/null
    t1=$(date +%s%N)
    stop_sim
    echo "replay --replay-timing $timing: $(( (t1 - t0) / 1000000 )) ms, $(awk -v t=$(( (t1 - t0) / 1000 )) -v s="$(cat "$work/stretched.jsonl.span")" 'BEGIN { printf "%.1f%%", 100 * t / s }') of the recorded span; $(grep -o 'replay (strict).*' "$work/sim.log" | tail -1)" |
        tee -a "$results/replay.txt"
done

echo "== 4. examples.Patrol for 20 s: loop periods on loopback and under --latency robot"
for latency in none robot; do
    start_sim --latency "$latency"
    (cd "$work" && DLN_SERVER=$port "$java" -Djava.library.path="$build/lib" \
        -cp "$build/java/classes" examples.Patrol 20 >"$work/patrol-$latency.txt" 2>&1) || true
    stop_sim
    # The times between turns of the 100 ms loop, and between ultrasonic readings.
    for what in range ultrasonic; do
        grep -o "PATROL t=[0-9]* $what=" "$work/patrol-$latency.txt" | sed 's/[^0-9]//g' |
            awk 'NR > 1 { print $1 - last } { last = $1 }' | sort -n |
            awk -v l="$latency" -v w="$what" '{ p[n++] = $1 }
                END { printf "--latency %s, %s: %d periods, min %d ms, median %d ms, p90 %d ms, max %d ms\n",
                      l, w, n, p[0], p[int(n / 2)], p[int(n * 0.9)], p[n - 1] }'
    done | tee -a "$results/patrol.txt"
    echo "--latency $latency: first range at $(grep -o 'PATROL t=[0-9]* range=' "$work/patrol-$latency.txt" |
        head -1 | sed 's/[^0-9]//g') ms (connect and calibrate first)" | tee -a "$results/patrol.txt"
done
