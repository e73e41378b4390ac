#!/usr/bin/env bash
# The live page in a real browser: starts dln-sim --http with the default robot, runs Java
# calls against it (servo 1500 us, DAC 128, laser ranges while the wall moves through the
# page's API), loads the page in headless Chromium and checks in its DOM that the panels show
# what the calls set. Exits 77 (skipped) only when Chromium cannot be installed.
# Usage: live_page_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build=$2
java=${JAVA_HOME:-/usr/lib/jvm/java-17-openjdk-amd64}/bin/java

if ! command -v chromium >/dev/null; then
    "$source_dir/scripts/install-packages.sh" chromium >/dev/null 2>&1 || true
    command -v chromium >/dev/null || { echo "SKIPPED: chromium cannot be installed"; exit 77; }
fi

work=$(mktemp -d)
sim=""
cleanup() {
    [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

"$build/bin/dln-sim" --http 0 >"$work/sim.log" 2>&1 &
sim=$!
for _ in $(seq 100); do
    grep -q "live page on" "$work/sim.log" && break
    kill -0 "$sim" 2>/dev/null || { cat "$work/sim.log"; exit 1; }
    sleep 0.1
done
page=$(sed -n 's/^dln-sim: live page on \(http:[^ ]*\)$/\1/p' "$work/sim.log")
[ -n "$page" ] || { echo "FAIL: no live page line"; cat "$work/sim.log"; exit 1; }
echo "page at $page"

"$java" -Djava.library.path="$build/lib" -cp "$build/java/classes" LivePageRun "$page" \
    >"$work/java.log" 2>&1 || { cat "$work/java.log"; echo "FAIL: the Java calls"; exit 1; }
grep -E "^(ok|FAILED)" "$work/java.log"

# The page fills itself from its event stream; the virtual time lets it receive a few.
timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$work/profile" --virtual-time-budget=3000 --dump-dom "$page" \
    >"$work/dom.html" 2>"$work/chromium.log" || { cat "$work/chromium.log"; exit 1; }

failures=0
# The text of the element with this id in the dumped DOM.
cell() {
    sed -n "s/.*id=\"$1\"[^>]*>\([^<]*\)<.*/\1/p" "$work/dom.html" | head -1
}
expect() {
    local value
    value=$(cell "$1")
    if [ "$value" = "$2" ]; then
        echo "ok    $1 shows $value"
    else
        echo "FAILED $1 shows '$value', expected '$2'"
        failures=$((failures + 1))
    fi
}
expect i2c-0x51-pulseWidthUs 1500
expect i2c-0x48-output 128
expect i2c-0x29-distanceMm 250.0
range=$(cell i2c-0x29-lastRangeMm)
if [ -n "$range" ] && [ "$range" -ge 220 ] && [ "$range" -le 280 ]; then
    echo "ok    the laser's last range $range mm is near the wall at 250 mm"
else
    echo "FAILED the laser's last range '$range' is not near 250 mm"
    failures=$((failures + 1))
fi
clients=$(cell bus-calls)
[ -n "$clients" ] && [ "$clients" -gt 0 ] || { echo "FAILED no calls counted"; failures=$((failures + 1)); }
grep -q "<canvas" "$work/dom.html" || { echo "FAILED no range chart"; failures=$((failures + 1)); }
if [ "$failures" -ne 0 ]; then
    grep -o 'id="[a-z0-9-]*"[^>]*>[^<]*<' "$work/dom.html" | head -60
    exit 1
fi
