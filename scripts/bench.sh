#!/usr/bin/env bash
# Measures the library's cost per call against the round-trip floor, in one run: the Java
# calls against dln-sim over TCP on loopback (adapter calls counted from dln-sim's trace,
# times taken without a trace), the same exchanges over a bare socket, and the in-process
# costs under Google Benchmark. Usage: scripts/bench.sh [SCALE] [RUNS]: SCALE multiplies the
# repetitions (default 1); the Java calls are timed in RUNS runs (default 5) and the table
# takes, per call, the run with the lowest median, as other programs share the machine.
# Then the README's typed calls, on loopback and under dln-sim --latency robot, and their
# adapter calls from dln-sim's trace. Results land
# in build/release/bench-results. To time another build of the libraries and
# dln-sim (an older commit, say) with the same benchmark, set BENCH_LIB_DIR (the folder of
# libI2C_DLN.so and libdln.so) and BENCH_SIM (the dln-sim program).
set -euo pipefail
cd "$(dirname "$0")/.."
export JAVA_HOME=${JAVA_HOME:-/usr/lib/jvm/java-17-openjdk-amd64}
root=$(pwd)
build=build/release
scale=${1:-1}
runs=${2:-5}

if [ -z "${DLN_BENCH_INSIDE:-}" ]; then
    scripts/install-packages.sh libbenchmark-dev
    scripts/setup.sh "$build" -DI2C_DLN_BENCH=ON
    # The library's port is fixed at 9656. A network namespace of our own gives the run a
    # loopback where that port is ours alone, so neither a running dln-sim nor a test
    # elsewhere on the machine disturbs it.
    if unshare -rn true 2>/dev/null; then
        DLN_BENCH_INSIDE=netns exec unshare -rn "$0" "$@"
    fi
    echo "No network namespace available: measuring on the machine's loopback (port 9656 must be free)."
    DLN_BENCH_INSIDE=shared exec "$0" "$@"
fi
[ "$DLN_BENCH_INSIDE" = netns ] && ip link set lo up

lib_dir=${BENCH_LIB_DIR:-$root/$build/lib}
sim_program=${BENCH_SIM:-$build/bin/dln-sim}
results=$root/$build/bench-results
rm -rf "$results"
mkdir -p "$results"
work=$(mktemp -d)
sim=""
stop_sim() {
    [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null || true
    sim=""
}
trap 'stop_sim; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

start_sim() {
    "$sim_program" --scenario java/bench/bench.json "$@" >"$work/sim.log" 2>&1 &
    sim=$!
    for _ in $(seq 100); do
        grep -q listening "$work/sim.log" && return 0
        kill -0 "$sim" 2>/dev/null || break
        sleep 0.1
    done
    echo "dln-sim did not start:"; cat "$work/sim.log"; exit 1
}

# The library prints a lot: into a file, as a user's program would print into a pipe.
java_bench() {
    (cd "$work" && "$JAVA_HOME/bin/java" -Djava.library.path="$lib_dir" \
        -cp "$root/$build/java/classes" Bench "$@" >"$work/stdout.txt")
}

echo "== Counting adapter calls (dln-sim with --trace)"
start_sim --trace "$results/trace.txt"
java_bench count "$results/trace.txt" "$results"
stop_sim

# Each run times the Java calls and then their floor, so that both meet the same moments of
# a machine shared with other programs.
echo "== Timing the Java calls (dln-sim without a trace) and their round-trip floor, $runs runs"
for _ in $(seq "$runs"); do
    start_sim
    java_bench time "$results" "$scale"
    stop_sim
    "$build/bin/dln-bench-floor" measure "$results"
done
"$build/bin/dln-bench-floor" table "$results" | tee "$results/table.md"
echo "== The typed API's read against the raw read, alternating call for call (one row per run)"
cat "$results/typed.tsv"

# The README's typed calls against the default robot: on loopback, and as slow as the robot's
# adapter would make them (dln-sim --latency robot).
echo "== The typed calls on loopback and under --latency robot (median ms)"
for latency in none robot; do
    rm -f "$work/sim.log" # so that the last run's ready line is not taken for this one's
    "$sim_program" --latency "$latency" >"$work/sim.log" 2>&1 &
    sim=$!
    for _ in $(seq 100); do grep -qs listening "$work/sim.log" && break; sleep 0.1; done
    (cd "$work" && "$JAVA_HOME/bin/java" -Djava.library.path="$lib_dir" \
        -cp "$root/$build/java/classes" TypedCallTimes 5 2>"$results/typed-$latency.tsv" >/dev/null)
    stop_sim
done
paste "$results/typed-none.tsv" "$results/typed-robot.tsv" |
    awk -F'\t' 'BEGIN { print "| Typed call | loopback | --latency robot |"; print "|---|---:|---:|" }
        { printf "| %s | %s ms | %s ms |\n", $1, $2, $4 }' | tee "$results/typed-robot.md"

# The adapter calls of each typed call on an open session, from dln-sim's trace.
echo "== The typed calls' adapter calls (dln-sim --trace, default robot)"
rm -f "$work/sim.log"
"$sim_program" --trace "$work/typed.trace" >"$work/sim.log" 2>&1 &
sim=$!
for _ in $(seq 100); do grep -qs listening "$work/sim.log" && break; sleep 0.1; done
(cd "$work" && "$JAVA_HOME/bin/java" -Djava.library.path="$lib_dir" \
    -cp "$root/$build/java/classes" TypedCallCounts "$work/typed.trace" 2>"$results/typed-calls.tsv" >/dev/null)
stop_sim
cat "$results/typed-calls.tsv"

echo "== One exchange over TCP, and in process (Google Benchmark)"
"$build/bin/dln-bench-tcp" --benchmark_min_time=0.5 --benchmark_color=false 2>&1 | tee "$results/tcp.txt"
"$build/bin/dln-bench-inproc" --benchmark_min_time=0.5 --benchmark_color=false 2>&1 | tee "$results/inproc.txt"

{
    echo "nproc: $(nproc)"
    echo "CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
    echo "kernel: $(uname -sr)"
    echo "load average (1, 5, 15 min) at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
} | tee "$results/machine.txt"
