#!/usr/bin/env bash
# Record on one run, replay on another: a Java program driving all fifteen methods (the laser
# and the EEPROM programming included) runs against dln-sim through the recording library;
# then against dln-sim --replay of that recording, with no scenario, strict and lenient, and
# must print exactly the same and write the same zz.dat. The same program with one write
# changed gets a mismatch report naming that call. Last, the recording seeds a scenario that
# dln-sim accepts. Usage: record_replay_test.sh SOURCE_DIR BUILD_DIR JAVA
set -euo pipefail
source_dir=$1
build=$(cd "$2" && pwd)
java=$3
work=$(mktemp -d)
sim=""
stop_sim() {
    if [ -n "$sim" ]; then
        kill "$sim" 2>/dev/null || true
        wait "$sim" 2>/dev/null || true
    fi
    sim=""
}
trap 'stop_sim; rm -rf "$work"' EXIT

failures=0
Fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# start_sim LOG [dln-sim options...]: waits for its ready line.
start_sim() {
    local log=$1
    shift
    "$build/bin/dln-sim" "$@" >"$log" 2>&1 &
    sim=$!
    for _ in $(seq 600); do # up to 60 s, for a loaded machine
        grep -q listening "$log" && return 0
        kill -0 "$sim" 2>/dev/null || break
        sleep 0.1
    done
    echo "dln-sim $* did not start:"
    cat "$log"
    exit 1
}

# run_program DIR [VAR=value...] [-- program arguments]: the program in DIR, output in DIR/out.txt.
run_program() {
    local dir=$1
    shift
    local vars=()
    while [ $# -gt 0 ] && [ "$1" != -- ]; do
        vars+=("$1")
        shift
    done
    [ $# -gt 0 ] && shift
    mkdir -p "$dir"
    cp "$source_dir/java/demo/program.hex" "$dir/"
    (cd "$dir" && env "${vars[@]}" "$java" -Djava.library.path="$build/lib" \
        -cp "$build/java/classes" AllMethodsProgram "$@" >out.txt 2>err.txt) ||
        Fail "the program in $dir exited with $?: $(tail -3 "$dir/err.txt")"
}

recording=$work/robot.jsonl
start_sim "$work/record-sim.log"
run_program "$work/recorded" LD_LIBRARY_PATH="$build/lib/record" \
    DLN_RECORD_TARGET="$build/lib/libdln.so" DLN_RECORD_FILE="$recording"
stop_sim
calls=$(($(wc -l <"$recording") - 1))
[ "$calls" -gt 2000 ] || Fail "only $calls calls recorded"
grep -q '^# I2C_LaserMeasurement 2 returned 10' "$work/recorded/out.txt" ||
    Fail "the recorded run has no laser range"

for mode in strict lenient; do
    options=(--replay "$recording")
    [ "$mode" = lenient ] && options+=(--replay-lenient)
    start_sim "$work/$mode-sim.log" "${options[@]}"
    run_program "$work/$mode"
    stop_sim
    diff -q "$work/recorded/out.txt" "$work/$mode/out.txt" >/dev/null ||
        Fail "$mode replay: the output differs: $(diff "$work/recorded/out.txt" "$work/$mode/out.txt" | head -5)"
    cmp -s "$work/recorded/zz.dat" "$work/$mode/zz.dat" || Fail "$mode replay: zz.dat differs"
    grep -q "replay ($mode): \([0-9]*\) of \1 recorded calls answered, \(all in order and matching\|no mismatch\)$" \
        "$work/$mode-sim.log" || Fail "$mode replay: no clean summary: $(grep replay "$work/$mode-sim.log" | tail -3)"
    grep -q "played to its end" "$work/$mode-sim.log" || Fail "$mode replay: did not reach the end"
done

# The program's first write sends 0xEE where the recording has 0xFE: that call fails and is
# reported with its number in the recording and the bytes side by side.
write_seq=$(grep '"call":"DlnI2cMasterWrite".*"buffer":"10 ca fe 42"' "$recording" | head -1 |
    sed 's/^{"seq":\([0-9]*\),.*/\1/')
start_sim "$work/changed-sim.log" --replay "$recording"
run_program "$work/changed" -- changed-write
stop_sim
log=$work/changed-sim.log
grep -q "^replay: mismatch at recorded call $write_seq (" "$log" ||
    Fail "no mismatch reported at the changed write (recorded call $write_seq): $(grep -m3 replay "$log")"
grep -A2 "^replay: mismatch at recorded call $write_seq (" "$log" | grep -q "recorded: DlnI2cMasterWrite .*buffer=\[10 ca fe 42\]" ||
    Fail "the report does not show the recorded write"
grep -q "bytes sent came:     10 ca ee 42" "$log" || Fail "the report does not show the bytes that came"
grep -q "^# write returned 3, slots \[80, 4, 16, 202, 238, 66" "$work/changed/out.txt" ||
    Fail "the changed program did not run its write"

# The recording seeds a scenario that dln-sim takes.
"$build/bin/dln-seed-scenario" "$recording" "$work/seeded.json" 2>"$work/seed-notes.txt" ||
    Fail "dln-seed-scenario failed: $(cat "$work/seed-notes.txt")"
grep -q '"0x50"' "$work/seeded.json" || Fail "the seeded scenario has no register device 0x50"
grep -q "0x29: left out" "$work/seed-notes.txt" || Fail "the ranging sensor was not left out with a note"
start_sim "$work/seeded-sim.log" --scenario "$work/seeded.json"
stop_sim

if [ "$failures" -ne 0 ]; then
    echo "$failures record-and-replay check(s) failed (logs in $work)"
    trap 'stop_sim' EXIT
    exit 1
fi
echo "recorded $calls calls; strict and lenient replays printed the same and wrote the same zz.dat;" \
     "the changed write was reported as recorded call $write_seq; the seeded scenario loads."
