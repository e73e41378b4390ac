#!/usr/bin/env bash
# Holds the layering of the tree by its #include "..." lines, resolved the way the compiler does
# (the including file's folder first, then the include folders the build names):
#   - outside sim/, nothing includes the simulator's private headers (sim/core, sim/models);
#   - the live page's state (sim/live) sees the simulator's public face (sim/include) only;
#   - the simulator's core, models and face include nothing of the layers above them (sim/live,
#     sim/http, sim/replay, sim/server);
#   - src/ reaches the adapter library only through dln/include, and the simulator not at all;
#   - the headers and sources of src/, dln/ and sim/ include each other without a cycle.
# Usage: include_structure_test.sh SOURCE_DIR
set -euo pipefail
cd "$1"

failures=0
Fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The folders the build puts on include paths: every relative folder that follows the target
# name in a target_include_directories call of the build files.
roots=$(awk '/target_include_directories\(/ {
                 sub(/.*target_include_directories\(/, ""); sub(/\).*/, "")
                 for (i = 2; i <= NF; i++) print $i }' CMakeLists.txt cmake/*.cmake |
        while read -r folder; do [ -d "$folder" ] && echo "$folder"; done | sort -u)
[ -n "$roots" ] || Fail "no include folder found in the build files"

sources=$(find src dln sim tests fuzz bench -type f \
               \( -name '*.h' -o -name '*.hpp' -o -name '*.c' -o -name '*.cc' -o -name '*.cpp' \) |
          sort)

# One "includer included" line per quoted include that resolves to a file of the tree.
edges=$(awk -v roots="$roots" -v files="$sources" '
    function normal(path,    parts, n, i, out, depth, kept) {
        n = split(path, parts, "/"); depth = 0
        for (i = 1; i <= n; i++) {
            if (parts[i] == "." || parts[i] == "") continue
            if (parts[i] == ".." && depth > 0) { depth--; continue }
            kept[++depth] = parts[i]
        }
        out = kept[1]
        for (i = 2; i <= depth; i++) out = out "/" kept[i]
        return out
    }
    BEGIN {
        nroots = split(roots, root, "\n")
        split(files, list, "\n"); for (i in list) exists[list[i]] = 1
    }
    /^[ \t]*#[ \t]*include[ \t]*"/ {
        name = $0; sub(/^[^"]*"/, "", name); sub(/".*/, "", name)
        folder = FILENAME; sub(/\/[^\/]*$/, "", folder)
        found = normal(folder "/" name)
        for (i = 1; !(found in exists) && i <= nroots; i++) found = normal(root[i] "/" name)
        if (found in exists) print FILENAME, found
    }' $sources)

private=$(echo "$edges" | awk '$1 !~ /^sim\// && $2 ~ /^sim\/(core|models)\//')
[ -z "$private" ] || Fail "private simulator headers included from outside sim/:
$private"

live=$(echo "$edges" | awk '$1 ~ /^sim\/live\// && $2 ~ /^sim\/(core|models)\//')
[ -z "$live" ] || Fail "the live state reaches past the simulator's public headers:
$live"

upward=$(echo "$edges" |
         awk '$1 ~ /^sim\/(core|models|include)\// && $2 ~ /^sim\/(live|http|replay|server)\//')
[ -z "$upward" ] || Fail "the simulator's core includes a layer above it:
$upward"

reaching=$(echo "$edges" | awk '$1 ~ /^src\// && ($2 ~ /^sim\// || ($2 ~ /^dln\// && $2 !~ /^dln\/include\//))')
[ -z "$reaching" ] || Fail "src/ reaches past the adapter library's public headers:
$reaching"

# tsort names the files of a loop on standard error and fails when the graph has one.
if ! loop=$(echo "$edges" | awk '$1 ~ /^(src|dln|sim)\// && $2 ~ /^(src|dln|sim)\// && $1 != $2' |
            tsort 2>&1 >/dev/null); then
    Fail "the includes of src/, dln/ and sim/ form a cycle:
$loop"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) of the include structure failed"
    exit 1
fi
echo "$(echo "$edges" | wc -l) includes of $(echo "$sources" | wc -l) files checked:" \
     "no private simulator header reached from outside sim/ or from sim/live, none of sim/core" \
     "reaching up, src/ uses only dln/include, no cycle."
