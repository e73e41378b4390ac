#!/usr/bin/env bash
# Bad recordings given to dln-sim --replay and dln-seed-scenario: each is refused within 5 s
# with one line naming the file and the line, and no crash; a recording cut off in its last
# line (the recording process killed) replays, with a warning; a recording larger than the
# bound is refused before it is read whole.
# Usage: bad_recordings_test.sh DLN_SIM DLN_SEED_SCENARIO
set -euo pipefail
dln_sim=$(realpath "$1")
seed=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
Fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

header='{"recording":"dln calls","version":1,"target":"libdln.so"}'
open='{"seq":1,"call":"DlnOpenDevice","deviceNumber":0,"result":0,"handle":1}'
close='{"seq":2,"call":"DlnCloseHandle","handle":1,"result":0}'
# name|content|what the line says
cases=(
    "dupkey|$header\n{\"seq\":1,\"seq\":1,\"call\":\"DlnCloseHandle\",\"handle\":1,\"result\":0}|bad.jsonl:2: \"seq\" is given twice"
    "dupseq|$header\n$open\n${open/\"seq\":1/\"seq\":1}|bad.jsonl:3: DlnOpenDevice: \"seq\" 1 after 1: given twice"
    "order|$header\n${close/\"seq\":2/\"seq\":5}\n$open|bad.jsonl:3: DlnOpenDevice: \"seq\" 1 after 5: out of order"
    "handle|$header\n${open/\"handle\":1/\"handle\":4294967295}|bad.jsonl:2: DlnOpenDevice: \"handle\" is above 65535"
    "version|{\"recording\":\"dln calls\",\"version\":\"1\"}|bad.jsonl:1: not a recording of version 1"
    "type|$header\n{\"seq\":\"1\",\"call\":\"DlnCloseHandle\",\"handle\":1,\"result\":0}|bad.jsonl:2: DlnCloseHandle: \"seq\" is not a whole number"
)
for entry in "${cases[@]}"; do
    IFS='|' read -r name content expected <<<"$entry"
    printf '%b\n' "$content" >"$work/bad.jsonl"
    for tool in "$dln_sim --port 0 --replay" "$seed"; do
        start=$(date +%s%N)
        status=0
        (cd "$work" && timeout 5 $tool bad.jsonl >"$work/out" 2>"$work/err") || status=$?
        ms=$((($(date +%s%N) - start) / 1000000))
        lines=$(wc -l <"$work/err")
        if [ "$status" -ne 1 ] || [ "$lines" -ne 1 ] || ! grep -qF "$expected" "$work/err"; then
            Fail "$name with ${tool%% *}: status $status, ${ms} ms: $(cat "$work/err")"
        fi
    done
done

# /dev/zero: refused at its first line, in well under the bound.
for tool in "$dln_sim --port 0 --replay" "$seed"; do
    status=0
    timeout 5 $tool /dev/zero >/dev/null 2>"$work/err" || status=$?
    [ "$status" -eq 1 ] && grep -qF "/dev/zero:1: a line longer than 1 MiB" "$work/err" ||
        Fail "/dev/zero with ${tool%% *}: status $status: $(cat "$work/err")"
done

# Larger than the bound: refused by size, not read into memory whole.
{
    echo "$header"
    head -c $((70 << 20)) /dev/zero | tr '\0' '\n'
} >"$work/big.jsonl"
status=0
timeout 5 "$dln_sim" --port 0 --replay "$work/big.jsonl" >/dev/null 2>"$work/err" || status=$?
[ "$status" -eq 1 ] && grep -q "big.jsonl: larger than 64 MiB" "$work/err" ||
    Fail "a 70 MB recording: status $status: $(cat "$work/err")"
# Ctrl-C while a long recording loads (60 MiB of empty lines): dln-sim stops at once.
{
    echo "$header"
    head -c $((60 << 20)) /dev/zero | tr '\0' '\n'
} >"$work/big.jsonl"
"$dln_sim" --port 0 --replay "$work/big.jsonl" >/dev/null 2>"$work/err" &
sim=$!
sleep 0.3
kill -INT "$sim"
start=$(date +%s%N)
wait "$sim" || true
ms=$((($(date +%s%N) - start) / 1000000))
echo "measured: stopped ${ms} ms after Ctrl-C while loading"
[ "$ms" -lt 2000 ] || Fail "Ctrl-C while loading took ${ms} ms: $(cat "$work/err")"
rm -f "$work/big.jsonl"

# Cut in its last line: the rest replays, with one warning naming the line.
printf '%s\n%s\n%s' "$header" "$open" '{"seq":2,"call":"DlnCloseHa' >"$work/cut.jsonl"
"$dln_sim" --port 0 --replay "$work/cut.jsonl" >"$work/out" 2>"$work/err" &
sim=$!
for _ in $(seq 100); do
    grep -q listening "$work/out" && break
    sleep 0.1
done
kill -INT "$sim"
status=0
wait "$sim" || status=$?
grep -q "listening on .* with the recording's no device calls" "$work/out" ||
    Fail "the cut recording did not replay: $(cat "$work/out" "$work/err")"
grep -qF "cut.jsonl:3: the last line is cut off; it is left out" "$work/err" ||
    Fail "no warning about the cut line: $(cat "$work/err")"
# Nothing asked: no mismatch, exit 0.
[ "$status" -eq 0 ] || Fail "an unused replay stopped with status $status"

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "every bad recording refused with one line naming file and line; a cut one replays"
