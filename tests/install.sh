#!/usr/bin/env bash
# Installs the build in BUILD_DIR into a fresh prefix and checks that exactly
# the programs, their man pages, the completion files, the copyright and the
# changelog are there, that the man pages render without a warning and carry
# the project's version, and that the installed programs run. Without man-db
# the rendering is not checked and the test ends as skipped (77).
set -u
build=$1
version=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install"

expected="bin/schedassign
bin/schedreport
share/bash-completion/completions/schedassign
share/bash-completion/completions/schedreport
share/doc/schedtools/changelog.gz
share/doc/schedtools/copyright
share/man/man8/schedassign.8.gz
share/man/man8/schedreport.8.gz"
actual=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | sort)
[ "$actual" = "$expected" ] || fail "installed files differ:
$(diff <(echo "$expected") <(echo "$actual"))"

have_man=false
command -v man >/dev/null && have_man=true
for page in schedassign schedreport; do
    file=$prefix/share/man/man8/$page.8.gz
    zcat "$file" | grep -q "^\.TH [A-Z]* 8 \"[A-Z][a-z]* [0-9]*\" \"schedtools $version\"" ||
        fail "man $page: $(zcat "$file" | grep '^\.TH')"
    $have_man || continue
    warnings=$(man --warnings -l "$file" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man $page warns: $warnings"
    man -l "$file" 2>/dev/null | grep -q "^NAME" || fail "man $page renders no NAME"
done

out=$("$prefix/bin/schedreport" 0)
case $out in
    *"pid=0     Policy = "*) ;;
    *) fail "installed schedreport printed: $out" ;;
esac
out=$("$prefix/bin/schedassign")
[ "$(echo "$out" | head -n 1)" = "schedassign [pid] [FIFO | RR | OTHER | MGMT | CALLP | IO | MTC ] [priority]" ] ||
    fail "installed schedassign printed: $out"

[ "$failures" -eq 0 ] || exit 1
if ! $have_man; then
    echo "SKIPPED: rendering the man pages needs man-db (apt-get install man-db)"
    exit 77
fi
echo "install: all passed"
