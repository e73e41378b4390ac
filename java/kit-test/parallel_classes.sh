#!/usr/bin/env bash
# Two test classes with different scenarios at the same time on one machine: each in a JVM of
# its own, started by WithFreePort with a DLN_SERVER port of its own, and both meet in a shared
# folder while their simulators run, then check their own scenario's value again.
# Usage: parallel_classes.sh JAVA JUNIT_JAR CLASS_PATH LIB_DIR DLNSIM
set -euo pipefail
java=$1 junit=$2 class_path=$3 lib_dir=$4 dlnsim=$5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/meet"

Run() {
    "$java" -cp "$class_path" i2cdln.sim.WithFreePort "$java" -Djava.library.path="$lib_dir" \
        -Ddlnsim.path="$dlnsim" -Dkit.rendezvous="$work/meet" -jar "$junit" -cp "$class_path" \
        --select-class="$1" --disable-banner --details=tree --fail-if-no-tests >"$work/$1.log" 2>&1
}
Run KitScenarioATest & a=$!
Run KitScenarioBTest & b=$!
status=0
wait $a || status=1
wait $b || status=1
if [ $status -ne 0 ]; then
    tail -40 "$work"/*.log
    exit 1
fi
grep -h "tests successful" "$work"/*.log
