#!/usr/bin/env bash
# Runs the cross-built I2C_DLN.dll with our dln.dll and dln-sim.exe under wine and checks that
# they do what the Linux builds do: jni_host calls the fifteen native methods in the demo's
# order, as a Linux program against libI2C_DLN.so and the Linux dln-sim, then as a Windows
# program under wine against the Linux dln-sim and against dln-sim.exe, each time against a
# fresh simulator with the same robot. Standard output, standard error, zz.dat and the EEPROM's
# memory must be equal; the Windows C runtime writes text files and standard output in text
# mode, so there every line must end in CR LF where Linux ends it in LF. typed_host does the
# same with i2cdln.dll and libi2cdln.so: every NativeSession native, results compared. It also
# times the polling delay of the Windows build under wine.
# Usage: windows_runtime_test.sh SOURCE_DIR WORK_DIR JNI_INCLUDE_DIR LINUX_BIN_DIR LINUX_LIB_DIR
# Exits 77 when wine or mingw-w64 cannot be installed.
set -euo pipefail
source_dir=$1
work_dir=$2
jni_include=$3
linux_bin=$4
linux_lib=$5

if ! command -v wine >/dev/null; then
    "$source_dir/scripts/install-packages.sh" wine wine64 >/dev/null 2>&1 || true
    if ! command -v wine >/dev/null; then
        echo "SKIPPED: wine is not installed and could not be installed (packages wine, wine64)."
        exit 77
    fi
fi

status=0
"$source_dir/scripts/windows-build.sh" "$work_dir/ours" \
    -DI2C_DLN_JNI_INCLUDE_DIR="$jni_include" || status=$?
if [ "$status" -eq 77 ]; then
    echo "SKIPPED: the Windows cross-build needs mingw-w64, which could not be installed."
    exit 77
fi
[ "$status" -eq 0 ] || { echo "FAIL: the Windows cross-build failed"; exit 1; }
windows_bin=$work_dir/ours/bin

# A prefix of our own, made once; no debug chatter, no offer to install Mono or Gecko.
export WINEPREFIX=$work_dir/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot --init >/dev/null 2>&1 || { echo "FAIL: wineboot could not make $WINEPREFIX"; exit 1; }
fi
sim=""
StopSim() {
    if [ -n "$sim" ]; then
        kill -INT "$sim" 2>/dev/null || true
        wait "$sim" 2>/dev/null || true
        sim=""
    fi
}
trap 'StopSim; wineserver -k 2>/dev/null || true' EXIT

failures=0
Fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The Windows path of a Unix path, through wine's drive Z:, which is the Unix root.
WindowsPath() {
    echo "Z:${1//\//\\}"
}

echo "--- polling delay of the Windows build, under wine"
wine "$windows_bin/polling_delay_check.exe" | tr -d '\r' || Fail "the polling delay under wine"

# Runs jni_host (the command after "--") in the fresh folder $1 against a fresh dln-sim there
# (the command from $2 to "--", given the scenario's path) on a free port, which the library
# is sent to with DLN_SERVER, and stops dln-sim with SIGINT, which wine hands to a Windows
# program as Ctrl-C.
RunHost() {
    local dir=$1
    shift
    local sim_command=()
    while [ "$1" != "--" ]; do
        sim_command+=("$1")
        shift
    done
    shift
    rm -rf "$dir"
    mkdir -p "$dir"
    cp "$source_dir/java/demo/program.hex" "$dir/"
    (cd "$dir" && exec "${sim_command[@]}" --port 0 >sim.log 2>&1) &
    sim=$!
    for _ in $(seq 600); do # up to 60 s, for a loaded machine
        grep -q listening "$dir/sim.log" && break
        kill -0 "$sim" 2>/dev/null || break
        sleep 0.1
    done
    grep -q listening "$dir/sim.log" || { cat "$dir/sim.log"; Fail "dln-sim did not start"; return; }
    local port
    port=$(sed -n 's/.*listening on [^ ]*:\([0-9]*\) .*/\1/p' "$dir/sim.log" | tr -d '\r')
    local start=$SECONDS
    (cd "$dir" && DLN_SERVER=127.0.0.1:$port "$@" >out.txt 2>err.txt) ||
        Fail "$* exited with $?: $(head -5 "$dir/err.txt")"
    echo "$(basename "$dir"): $(wc -l <"$dir/out.txt") lines in $((SECONDS - start)) s"
    StopSim
    grep -q "dln-sim: stopped on Interrupt" "$dir/sim.log" ||
        Fail "$(basename "$dir"): dln-sim did not stop cleanly on SIGINT: $(tail -3 "$dir/sim.log")"
}

# Equal after one CR is taken from the end of every line of the Windows file, which must have
# one there on every line.
ExpectSameText() {
    local what=$1 linux=$2 windows=$3
    local lines crlf
    lines=$(wc -l <"$windows")
    crlf=$(grep -c $'\r$' "$windows" || true)
    [ "$lines" -eq "$crlf" ] || Fail "$what: $crlf of $lines lines of the Windows run end in CR LF"
    if ! diff -u "$linux" <(sed 's/\r$//' "$windows") >"$windows.diff"; then
        Fail "$what differs between Linux and Windows (first lines of the diff below)"
        head -20 "$windows.diff"
    fi
}

scenario=$source_dir/tests/windows/still_robot.json
linux_sim=("$linux_bin/dln-sim" --scenario "$scenario")
windows_sim=(wine "$windows_bin/dln-sim.exe" --scenario "$(WindowsPath "$scenario")")
linux_host=("$linux_bin/jni_host" "$linux_lib/libI2C_DLN.so")
windows_host=(wine "$windows_bin/jni_host.exe" "$(WindowsPath "$windows_bin/I2C_DLN.dll")")
linux_typed=("$linux_bin/typed_host" "$linux_lib/libi2cdln.so")
windows_typed=(wine "$windows_bin/typed_host.exe" "$(WindowsPath "$windows_bin/i2cdln.dll")")

echo "--- the fifteen methods: library and dln-sim for Linux, for Windows, and mixed"
runs=$work_dir/run
RunHost "$runs/linux" "${linux_sim[@]}" -- "${linux_host[@]}"
RunHost "$runs/windows-library" "${linux_sim[@]}" -- "${windows_host[@]}"
RunHost "$runs/windows" "${windows_sim[@]}" -- "${windows_host[@]}"

linux=$runs/linux
methods=$(grep -o '^.\?== [A-Za-z0-9_]* returned' "$linux/out.txt" | sort -u | wc -l)
[ "$methods" -eq 15 ] || Fail "the Linux run called $methods distinct methods, not fifteen"
for windows in "$runs/windows-library" "$runs/windows"; do
    name=$(basename "$windows")
    ExpectSameText "$name: standard output" "$linux/out.txt" "$windows/out.txt"
    ExpectSameText "$name: standard error" "$linux/err.txt" "$windows/err.txt"
    ExpectSameText "$name: zz.dat" "$linux/zz.dat" "$windows/zz.dat"
    cmp "$linux/eeprom.bin" "$windows/eeprom.bin" || Fail "$name: the EEPROM's memory differs"
done

echo "--- the typed library's natives: libi2cdln.so, then i2cdln.dll under wine"
RunHost "$runs/typed-linux" "${linux_sim[@]}" -- "${linux_typed[@]}"
RunHost "$runs/typed-windows" "${linux_sim[@]}" -- "${windows_typed[@]}"
typed=$runs/typed-linux
natives=$(grep -c '^[A-Za-z].*: [0-9]' "$typed/out.txt" || true)
[ "$natives" -ge 20 ] || Fail "the Linux typed run printed $natives results, not every native's"
ExpectSameText "typed-windows: standard output" "$typed/out.txt" "$runs/typed-windows/out.txt"
ExpectSameText "typed-windows: standard error" "$typed/err.txt" "$runs/typed-windows/err.txt"

echo "--- dln-vcd.exe under wine draws a trace as dln-vcd does"
# Written in binary mode on both sides, so the files must be equal byte for byte.
printf '%s\n' '0.000100 DlnI2cMasterGetFrequency port=0 result=0x00 ; 400000 Hz' \
    '0.000200 DlnI2cMasterRead port=0 addr=0x29 out=[13] in=[44 07] result=0x00' \
    '0.000300 DlnI2cMasterWrite port=0 addr=0x30 out=[01] result=0x44 (I2C NACK)' \
    '0.000400 DlnSpiMasterSetMode port=0 result=0x00 ; mode 3' \
    '0.000500 DlnSpiMasterReadWrite port=0 ss=0xfd out=[9f 00] in=[ff 20] result=0x00' \
    >"$work_dir/vcd.trace"
(cd "$work_dir" && "$linux_bin/dln-vcd" vcd.trace linux.vcd >/dev/null &&
    wine "$windows_bin/dln-vcd.exe" vcd.trace windows.vcd >/dev/null &&
    cmp linux.vcd windows.vcd) || Fail "dln-vcd.exe drew the trace otherwise than dln-vcd"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) of the Windows library under wine failed"
    exit 1
fi
echo "I2C_DLN.dll under wine, against the Linux dln-sim and against dln-sim.exe, printed what" \
     "libI2C_DLN.so printed ($(wc -l <"$linux/out.txt") lines, CR LF for LF) and left the same" \
     "zz.dat and EEPROM image; i2cdln.dll under wine returned what libi2cdln.so returned" \
     "($(wc -l <"$typed/out.txt") calls); dln-vcd.exe drew a trace as dln-vcd did."
