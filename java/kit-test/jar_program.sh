#!/usr/bin/env bash
# The README's quick-start program, in package "robot", compiled against the jar alone and run
# with it against dln-sim on a port of its own (DLN_SERVER), with no -Djava.library.path: the
# jar extracts its libraries into a fresh cache (two JVMs at once the first time). The typed
# API prints nothing: standard output holds only the program's lines. The same program as a
# module runs on the module path. A program of the fifteen native methods runs from the
# I2C_DLN jar beside the API's jar; with the library's lines discarded or sent to a file, its
# standard output holds only its own lines.
# Usage: jar_program.sh JAVA_BIN_DIR JAR DLNSIM SOURCE_DIR [I2C_DLN_JAR]
set -euo pipefail
bin=$1 jar=$2 dlnsim=$3 source_dir=$4
fifteen_jar=${5:-$(dirname "$jar")/I2C_DLN-$(basename "$jar" | sed 's/^i2cdln-//')}
here=$source_dir/java/kit-test/quickstart
work=$(mktemp -d)
sim=""
cleanup() {
    [ -z "$sim" ] || { kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true; }
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
Fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

"$bin/javac" -Xlint:all -Werror -cp "$jar" -d "$work/classes" "$here/robot/QuickStart.java"
"$bin/javac" -Xlint:all -Werror --module-path "$jar" -d "$work/module" \
    "$here/module/module-info.java" "$here/robot/QuickStart.java"
"$bin/javac" -Xlint:all -Werror -cp "$fifteen_jar" -d "$work/raw" "$here/raw/RawRead.java"

# A port of its own: dln-sim picks a free one and names it.
"$dlnsim" --port 0 --trace "$work/trace.txt" >"$work/sim.log" 2>&1 &
sim=$!
for _ in $(seq 600); do # up to 60 s, for a loaded machine
    grep -q listening "$work/sim.log" && break
    kill -0 "$sim" 2>/dev/null || break
    sleep 0.1
done
port=$(sed -n 's/.*listening on 127.0.0.1:\([0-9]*\).*/\1/p' "$work/sim.log")
[ -n "$port" ] || { cat "$work/sim.log"; exit 1; }
export DLN_SERVER=127.0.0.1:$port
export XDG_CACHE_HOME=$work/cache
unset I2C_DLN_OUTPUT

Start() { # Start NAME [java options]: the program in the background, its output in NAME.out/.err
    local name=$1
    shift
    "$bin/java" "$@" -cp "$jar:$work/classes" robot.QuickStart >"$work/$name.out" 2>"$work/$name.err" &
}
RunRaw() { # RunRaw NAME [java options]: the fifteen methods' program, from the two jars
    local name=$1
    shift
    "$bin/java" "$@" -cp "$fifteen_jar:$jar:$work/raw" RawRead >"$work/$name.out" 2>"$work/$name.err" ||
        Fail "$name: exit status $? ($(cat "$work/$name.err"))"
}
Finish() { # Finish NAME PID
    wait "$2" || Fail "$1: exit status $? ($(cat "$work/$1.err"))"
}
Run() { # Run NAME [java options]
    Start "$@"
    Finish "$1" $!
}
ExpectOnlyProgramLines() { # ExpectOnlyProgramLines NAME [EXPECTED]
    local expected=${2:-$here/expected.txt}
    diff -u "$expected" "$work/$1.out" >/dev/null ||
        Fail "$1: standard output is not just the program's lines: $(diff -u "$expected" "$work/$1.out")"
}

# First use of the jar: two JVMs extract into the empty cache at the same time.
Start first1
first1=$!
Start first2
Finish first1 $first1
Finish first2 $!
for run in first1 first2; do
    grep -qF "servo 0x51 at 1500 us" "$work/$run.out" || Fail "$run: $(cat "$work/$run.out")"
done
[ "$(find "$work/cache/i2cdln" -name libi2cdln.so | wc -l)" -eq 1 ] || Fail "no single cached libi2cdln.so"
[ -z "$(find "$work/cache/i2cdln" -name '*.part')" ] || Fail "a temporary copy was left in the cache"

# A cached library changed in place (same size), or zero-filled as a crash after the rename
# can leave it: checked against the jar's copy, written again, and the program runs.
cached=$(find "$work/cache/i2cdln" -name libi2cdln.so)
cp "$cached" "$work/good.so"
printf 'XXXX' | dd of="$cached" bs=1 seek=4096 conv=notrunc status=none
Run changed
cmp -s "$cached" "$work/good.so" || Fail "a cached library changed in place was not written again"
truncate -s 0 "$cached" && truncate -s "$(stat -c %s "$work/good.so")" "$cached"
Run zeroed
cmp -s "$cached" "$work/good.so" || Fail "a zero-filled cached library was not written again"
for run in changed zeroed; do
    grep -qF "servo 0x51 at 1500 us" "$work/$run.out" || Fail "$run: $(cat "$work/$run.out")"
done

# The typed API prints nothing of its own.
Run plain
ExpectOnlyProgramLines plain

# On the module path, as the module robot requiring i2cdln.
"$bin/java" --module-path "$jar:$work/module" -m robot/robot.QuickStart >"$work/module.out" \
    2>"$work/module.err" || Fail "module: exit status $? ($(cat "$work/module.err"))"
ExpectOnlyProgramLines module

# The fifteen methods from their own jar: unchanged without the opt-in, the library's lines on
# standard output too.
raw_expected=$here/raw/expected.txt
RunRaw rawPlain
grep -qx "read 0 0" "$work/rawPlain.out" && [ "$(wc -l <"$work/rawPlain.out")" -gt 3 ] ||
    Fail "without the opt-in the library's lines are missing: $(cat "$work/rawPlain.out")"

I2C_DLN_OUTPUT=discard RunRaw discard
ExpectOnlyProgramLines discard "$raw_expected"

RunRaw property -Di2cdln.output=discard
ExpectOnlyProgramLines property "$raw_expected"

# A file gets every line the library printed, appended run after run.
I2C_DLN_OUTPUT=$work/library.txt RunRaw file1
ExpectOnlyProgramLines file1 "$raw_expected"
I2C_DLN_OUTPUT=$work/library.txt RunRaw file2
library_lines=$(grep -cvxFf "$raw_expected" "$work/rawPlain.out" || true)
[ "$(wc -l <"$work/library.txt")" -eq $((2 * library_lines)) ] ||
    Fail "library.txt has $(wc -l <"$work/library.txt") lines, expected twice $library_lines"

# A file that cannot be opened: one line on stderr, the library's lines stay on stdout.
I2C_DLN_OUTPUT=$work/no/such/folder/library.txt RunRaw unopenable
grep -q "cannot be opened" "$work/unopenable.err" || Fail "unopenable: nothing said on stderr"
[ "$(wc -l <"$work/unopenable.out")" -eq "$(wc -l <"$work/rawPlain.out")" ] || Fail "unopenable: lines lost"

if [ "$failures" -ne 0 ]; then
    echo "$failures failed"
    exit 1
fi
echo "the quick-start program ran from the jar alone and on the module path; the fifteen methods' program from their jar, its library's output discarded, to a file and unchanged"
