#!/usr/bin/env bash
# The live page in a real browser: starts dln-sim --http with the default robot, runs Java
# calls against it (servo 1500 us, DAC 128, laser ranges while the wall moves through the
# page's API), then opens the page in headless Chromium through chromedriver and waits until
# the panels show what the calls set. Exits 77 (skipped) only when Chromium, chromedriver or
# Selenium cannot be installed.
# Usage: live_page_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build=$2
java=${JAVA_HOME:-/usr/lib/jvm/java-17-openjdk-amd64}/bin/java
# Debian's Python, which python3-selenium serves, whatever other python3 comes first on PATH.
python=/usr/bin/python3

browser_ready() {
    command -v chromium && command -v chromedriver && "$python" -c "import selenium"
} >/dev/null 2>&1
if ! browser_ready; then
    "$source_dir/scripts/install-packages.sh" chromium chromium-driver python3-selenium || true
    browser_ready || {
        echo "SKIPPED: chromium, chromium-driver and python3-selenium cannot be installed"
        exit 77
    }
fi

work=$(mktemp -d)
sim=""
cleanup() {
    [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# Free ports for the adapter server and the page: the Java calls reach it through DLN_SERVER.
"$build/bin/dln-sim" --port 0 --http 0 >"$work/sim.log" 2>&1 &
sim=$!
for _ in $(seq 600); do # up to 60 s, for a loaded machine
    grep -q "listening" "$work/sim.log" && grep -q "live page on" "$work/sim.log" && break
    kill -0 "$sim" 2>/dev/null || { cat "$work/sim.log"; exit 1; }
    sleep 0.1
done
page=$(sed -n 's/^dln-sim: live page on \(http:[^ ]*\)$/\1/p' "$work/sim.log")
port=$(sed -n 's/.*listening on 127.0.0.1:\([0-9]*\).*/\1/p' "$work/sim.log")
if [ -z "$page" ] || [ -z "$port" ]; then
    echo "FAIL: no live page or port line"
    cat "$work/sim.log"
    exit 1
fi
echo "page at $page, adapter server on port $port"

DLN_SERVER=$port "$java" -Djava.library.path="$build/lib" -cp "$build/java/classes" \
    LivePageRun "$page" >"$work/java.log" 2>&1 ||
    { cat "$work/java.log"; echo "FAIL: the Java calls"; exit 1; }
grep -E "^(ok|FAILED)" "$work/java.log"

# Chromium, driven by chromedriver, waits for each value the calls set to show on the page.
timeout 240 "$python" "$source_dir/tests/scripts/live_page_check.py" "$page" "$work" ||
    { echo "FAIL: the page in Chromium"; exit 1; }
