# The helpers that mean the same in every script that sources this file.
# shellcheck shell=bash

# Prints its arguments on standard error, where they never mix with what a
# script prints for a caller to read.
say() { echo "$*" >&2; }

# Says FAIL and why on standard error, and ends the script with status 1.
fail() {
    say "FAIL: $*"
    exit 1
}

# Whether a command is on the PATH.
have() { command -v "$1" >/dev/null; }

# The tests that a JUnit report of ctest marks skipped, one a line: the
# name, then the reason from the "SKIPPED: " line the test printed. Fails
# when there is no report.
skips() {
    [ -f "$1" ] || fail "no JUnit report $1"
    awk '/<testcase / { name = $0; sub(/.*<testcase name="/, "", name); sub(/".*/, "", name); skip = 0; why = "" }
         /<skipped/ { skip = 1 }
         /SKIPPED: / && why == "" { why = $0; sub(/.*SKIPPED: /, "", why) }
         /<\/testcase>/ && skip {
             gsub(/&quot;/, "\"", why); gsub(/&apos;/, "'\''", why); gsub(/&lt;/, "<", why)
             gsub(/&gt;/, ">", why); gsub(/&amp;/, "\\&", why)
             print name ": " (why == "" ? "skipped" : why) }' "$1"
}

# Makes a private scratch directory in TMPDIR and prints its path, or says
# why not and fails, so that the caller stops before it writes or removes
# anything:  work=$(scratch NAME) || exit 1
scratch() {
    local dir
    dir=$(mktemp -d "${TMPDIR:-/tmp}/schedtools-$1.XXXXXX") && [ -d "$dir" ] ||
        fail "cannot make a scratch directory in ${TMPDIR:-/tmp} (TMPDIR)"
    echo "$dir"
}
