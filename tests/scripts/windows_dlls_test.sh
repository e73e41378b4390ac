#!/usr/bin/env bash
# Cross-builds the Windows DLLs and checks what they export and import, as Java and the
# loader will see them: I2C_DLN.dll exports the JNI names of every native method, undecorated,
# and nothing else, i2cdln.dll those of i2cdln.NativeSession, and both take every adapter call
# from dln.dll; our dln.dll exports exactly its
# C interface; neither they nor dln-sim.exe need a DLL that Windows lacks. Then the same with
# the adapter maker's library in place of ours (our dln.dll's import library stands in for it).
# Usage: windows_dlls_test.sh SOURCE_DIR WORK_DIR JNI_INCLUDE_DIR. Exits 77 without mingw-w64.
set -euo pipefail
source_dir=$1
work_dir=$2
jni_include=$3
source "$source_dir/tests/scripts/native_methods.sh"

failures=0
Fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The names a DLL exports, one a line, sorted.
Exports() {
    x86_64-w64-mingw32-objdump -p "$1" |
        awk '/^\[Ordinal\/Name Pointer\] Table/ {on = 1; next} on && NF == 0 {on = 0} on {print $NF}' |
        sort
}

# "DLL name" for every name a DLL imports, sorted.
Imports() {
    x86_64-w64-mingw32-objdump -p "$1" |
        awk '/DLL Name:/ {dll = $3; next} /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ && dll {print dll, $3}
             /^$/ {dll = ""}' |
        sort
}

# Same sorted lines in both lists, or a failure naming the lines only one of them has.
ExpectSame() {
    local what=$1 expected=$2 actual=$3
    local missing extra
    missing=$(comm -23 <(echo "$expected") <(echo "$actual") | tr '\n' ' ')
    extra=$(comm -13 <(echo "$expected") <(echo "$actual") | tr '\n' ' ')
    [ -z "$missing" ] || Fail "$what lacks: $missing"
    [ -z "$extra" ] || Fail "$what has more than expected: $extra"
}

# Every DLL imported by $1 ships with Windows, or is dln.dll.
ExpectOnlyWindowsAndDln() {
    local dll
    for dll in $(Imports "$1" | cut -d' ' -f1 | sort -u); do
        case "${dll,,}" in
        kernel32.dll | msvcrt.dll | ws2_32.dll | mswsock.dll | advapi32.dll | user32.dll | \
            winmm.dll | dln.dll) ;;
        *) Fail "$(basename "$1") needs $dll, which Windows lacks: it would have to be shipped" ;;
        esac
    done
}

# I2C_DLN.dll exports the natives and takes only adapter calls named in dln_api.h from dln.dll.
CheckI2cDln() {
    local dll=$1 expected_exports=$2 dln_calls=$3
    [ -f "$dll" ] || { Fail "$dll was not built"; return; }
    ExpectSame "exports of $dll" "$expected_exports" "$(Exports "$dll")"
    local from_dln
    from_dln=$(Imports "$dll" | awk '$1 == "dln.dll" {print $2}')
    [ -n "$from_dln" ] || Fail "$dll imports nothing from dln.dll"
    local stray
    stray=$(comm -23 <(echo "$from_dln") <(echo "$dln_calls") | tr '\n' ' ')
    [ -z "$stray" ] || Fail "$dll imports from dln.dll what dln_api.h lacks: $stray"
    stray=$(Imports "$dll" | awk '$1 != "dln.dll" && $2 ~ /^Dln/' | tr '\n' ' ')
    [ -z "$stray" ] || Fail "$dll takes adapter calls from elsewhere than dln.dll: $stray"
    ExpectOnlyWindowsAndDln "$dll"
}

status=0
"$source_dir/scripts/windows-build.sh" "$work_dir/ours" \
    -DI2C_DLN_JNI_INCLUDE_DIR="$jni_include" || status=$?
if [ "$status" -eq 77 ]; then
    echo "SKIPPED: the Windows cross-build needs mingw-w64, which could not be installed."
    exit 77
fi
[ "$status" -eq 0 ] || { echo "FAIL: the Windows cross-build failed"; exit 1; }

natives=$(JavaNativeMethods "$source_dir/java/I2C_DLN.java")
[ "$(echo "$natives" | wc -l)" -eq 15 ] ||
    Fail "I2C_DLN.java declares $(echo "$natives" | wc -l) native methods, not fifteen"
jni_names=$(for name in $natives; do JniName "$name"; done | sort)
typed_names=$(sed -n 's/.*\bstatic native \w\+ \(\w\+\)(.*/Java_i2cdln_NativeSession_\1/p' \
    "$source_dir/java/api/i2cdln/NativeSession.java" | sort)
[ -n "$typed_names" ] || Fail "NativeSession.java declares no native"
dln_calls=$(sed -n 's/^DLN_API DLN_RESULT \(Dln\w\+\)(.*/\1/p' \
    "$source_dir/dln/include/dln_api.h" | sort)

CheckI2cDln "$work_dir/ours/bin/I2C_DLN.dll" "$jni_names" "$dln_calls"
CheckI2cDln "$work_dir/ours/bin/i2cdln.dll" "$typed_names" "$dln_calls"
ExpectSame "exports of our dln.dll" "$dln_calls" "$(Exports "$work_dir/ours/bin/dln.dll")"
ExpectOnlyWindowsAndDln "$work_dir/ours/bin/dln.dll"
if [ -f "$work_dir/ours/bin/dln-sim.exe" ]; then
    ExpectOnlyWindowsAndDln "$work_dir/ours/bin/dln-sim.exe"
else
    Fail "dln-sim.exe was not built"
fi
if [ -f "$work_dir/ours/bin/dln-vcd.exe" ]; then
    ExpectOnlyWindowsAndDln "$work_dir/ours/bin/dln-vcd.exe"
else
    Fail "dln-vcd.exe was not built"
fi

"$source_dir/scripts/windows-build.sh" "$work_dir/vendor" \
    -DI2C_DLN_JNI_INCLUDE_DIR="$jni_include" \
    -DDLN_VENDOR_LIBRARY="$work_dir/ours/libdln.dll.a" ||
    { echo "FAIL: the Windows build against a given dln library failed"; exit 1; }
[ ! -e "$work_dir/vendor/bin/dln.dll" ] || Fail "a build with DLN_VENDOR_LIBRARY built our dln.dll"
CheckI2cDln "$work_dir/vendor/bin/I2C_DLN.dll" "$jni_names" "$dln_calls"
CheckI2cDln "$work_dir/vendor/bin/i2cdln.dll" "$typed_names" "$dln_calls"

# The recording dln.dll, built by both builds: the same exports as dln.dll, and it loads the
# real adapter library at run time, so it imports no dln.dll of its own.
for build in ours vendor; do
    recorder="$work_dir/$build/bin/record/dln.dll"
    if [ -f "$recorder" ]; then
        ExpectSame "exports of the recording $recorder" "$dln_calls" "$(Exports "$recorder")"
        ExpectOnlyWindowsAndDln "$recorder"
        ! Imports "$recorder" | grep -qi '^dln.dll ' || Fail "$recorder imports from dln.dll"
    else
        Fail "the $build build did not build the recording dln.dll ($recorder)"
    fi
done

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) of the Windows DLLs failed"
    exit 1
fi
echo "I2C_DLN.dll exports the $(echo "$jni_names" | wc -l) native methods, i2cdln.dll the" \
     "$(echo "$typed_names" | wc -l) NativeSession natives; both take their adapter calls from dln.dll, also" \
     "built against a given dln library; dln.dll exports its $(echo "$dln_calls" | wc -l) C functions."
echo "The recording dln.dll exports the same functions and imports no dln.dll."
