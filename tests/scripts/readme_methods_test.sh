#!/usr/bin/env bash
# Checks the README's method reference against the code: the table rows whose first cell is a
# method name in backticks ("| `read` | ...") name exactly the native methods declared in
# I2C_DLN.java, and the built library exports exactly those methods' JNI names.
# Usage: readme_methods_test.sh SOURCE_DIR LIBRARY (libI2C_DLN.so)
set -euo pipefail
source_dir=$1
library=$2
source "$source_dir/tests/scripts/native_methods.sh"

failures=0
Fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

natives=$(JavaNativeMethods "$source_dir/java/I2C_DLN.java" | sort)
[ -n "$natives" ] || Fail "no native method found in I2C_DLN.java"

# The backticked first cells of every table of the README, each with its table's number, so
# that the method table can be told from the others (addresses, scenario keys) by its rows.
cells=$(awk '/^\|/ { if (!in_table) table++; in_table = 1
                     if (match($0, /^\| *`[^`]+`/)) {
                         cell = substr($0, RSTART, RLENGTH); sub(/^\| *`/, "", cell)
                         sub(/`$/, "", cell); sub(/\(.*/, "", cell); print table, cell } next }
             { in_table = 0 }' "$source_dir/README.md")
# The method tables: those with at least one row naming a native method.
tables=$(echo "$cells" | awk 'NR == FNR {native[$1] = 1; next} native[$2] {print $1}' \
    <(echo "$natives") - | sort -u)
if [ -z "$tables" ]; then
    Fail "README.md has no table whose rows start with a native method name such as | \`read\` |"
else
    documented=$(echo "$cells" | awk 'NR == FNR {method_table[$1] = 1; next}
                                       method_table[$1] {print $2}' <(echo "$tables") - | sort)
    missing=$(comm -23 <(echo "$natives") <(echo "$documented" | sort -u) | tr '\n' ' ')
    [ -z "$missing" ] || Fail "the README's method table lacks: $missing"
    stray=$(comm -13 <(echo "$natives") <(echo "$documented" | sort -u) | tr '\n' ' ')
    [ -z "$stray" ] || Fail "the README's method table names what I2C_DLN.java lacks: $stray"
    twice=$(echo "$documented" | uniq -d | tr '\n' ' ')
    [ -z "$twice" ] || Fail "the README's method table has more than one row for: $twice"
fi

expected=$(for name in $natives; do JniName "$name"; done | sort)
exported=$(nm -D --defined-only "$library" | awk '$3 ~ /^Java_/ {print $3}' | sort)
missing=$(comm -23 <(echo "$expected") <(echo "$exported") | tr '\n' ' ')
[ -z "$missing" ] || Fail "$(basename "$library") does not export: $missing"
stray=$(comm -13 <(echo "$expected") <(echo "$exported") | tr '\n' ' ')
[ -z "$stray" ] || Fail "$(basename "$library") exports what I2C_DLN.java does not declare: $stray"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) of the method reference failed"
    exit 1
fi
echo "The README's method table and $(basename "$library") match the $(echo "$natives" | wc -l)" \
     "native methods of I2C_DLN.java."
