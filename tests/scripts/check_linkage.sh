#!/usr/bin/env bash
# Checks how the libraries are linked: I2C_DLN exports only its fifteen JNI methods, i2cdln only
# the natives of i2cdln.NativeSession, and both find dln next to themselves; dln carries the
# plain SONAME libdln.so.
set -euo pipefail
libdir=$1
fail() { echo "FAIL: $*"; exit 1; }

exports=$(nm -D --defined-only "$libdir/libI2C_DLN.so" | awk '{print $3}' | sort)
others=$(grep -v '^Java_I2C_1DLN_' <<<"$exports" || true)
[ -z "$others" ] || fail "libI2C_DLN.so exports more than the JNI methods: $others"
[ "$(wc -l <<<"$exports")" -eq 15 ] || fail "expected 15 JNI exports, found: $exports"

typed=$(nm -D --defined-only "$libdir/libi2cdln.so" | awk '{print $3}' | sort)
others=$(grep -v '^Java_i2cdln_NativeSession_' <<<"$typed" || true)
[ -z "$others" ] || fail "libi2cdln.so exports more than the NativeSession natives: $others"
declared=$(sed -n 's/.*\bstatic native \w\+ \(\w\+\)(.*/Java_i2cdln_NativeSession_\1/p' \
    "$(dirname "$0")/../../java/api/i2cdln/NativeSession.java" | sort)
[ "$typed" = "$declared" ] ||
    fail "libi2cdln.so exports $(wc -l <<<"$typed") natives, NativeSession.java declares: $declared"

for library in libI2C_DLN.so libi2cdln.so; do
    runpath=$(readelf -d "$libdir/$library" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
    [ "$runpath" = '$ORIGIN' ] || fail "$library RUNPATH is '$runpath', not \$ORIGIN"
    readelf -d "$libdir/$library" | grep -q 'NEEDED.*\[libdln.so\]' \
        || fail "$library does not link libdln.so dynamically"
done

soname=$(readelf -d "$libdir/libdln.so" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = libdln.so ] || fail "libdln.so SONAME is '$soname'"
others=$(nm -D --defined-only "$libdir/libdln.so" | awk '{print $3}' | grep -v '^Dln' || true)
[ -z "$others" ] || fail "libdln.so exports more than the Dln functions: $others"

# The recording library stands in for libdln.so: the same SONAME and exactly its functions.
recorder=$libdir/record/libdln.so
soname=$(readelf -d "$recorder" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = libdln.so ] || fail "the recording libdln.so SONAME is '$soname'"
[ "$(nm -D --defined-only "$recorder" | awk '{print $3}' | sort)" = \
  "$(nm -D --defined-only "$libdir/libdln.so" | awk '{print $3}' | sort)" ] ||
    fail "the recording libdln.so does not export exactly what libdln.so exports"
echo "linkage ok: 15 JNI exports, $(wc -l <<<"$typed") NativeSession natives, RUNPATH \$ORIGIN, libdln.so and the recording one export only Dln*"
