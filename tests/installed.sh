#!/usr/bin/env bash
# tests/installed.sh VERSION TREE [musl]     an unpacked package or archive
# tests/installed.sh VERSION --install BUILD  BUILD installed into a scratch prefix
# The tree holds exactly the programs, man pages, completion, copyright and
# changelog (and musl's notice), the man pages carry VERSION and render without
# a warning (without man-db, a skip), the programs run where this host can.
set -euo pipefail
. "$(dirname "$0")/../scripts/lib.sh"
needs "checking an installed tree" readelf zcat
version=$1 tree=$2 libc=${3:-}
if [ "$tree" = --install ]; then
    libc=""
    tree=$(scratch install) || exit 1
    trap 'rm -rf "$tree"' EXIT
    cmake --install "$3" --prefix "$tree" >/dev/null || fail "cmake --install $3"
fi

doc=share/doc/schedtools
expected=$(printf '%s\n' bin/sched{assign,report} share/bash-completion/completions/sched{assign,report} \
    $doc/changelog.gz $doc/copyright ${libc:+$doc/copyright.$libc} share/man/man8/sched{assign,report}.8.gz)
actual=$(cd "$tree" && find . -type f -o -type l | sed 's|^\./||' | sort)
[ "$actual" = "$expected" ] || fail "$tree holds other files: $(diff <(echo "$expected") <(echo "$actual"))"

for page in schedassign schedreport; do
    file=$tree/share/man/man8/$page.8.gz
    zcat "$file" | grep -q "^\.TH [A-Z]* 8 \"[A-Z][a-z]* [0-9]*\" \"schedtools $version\"" ||
        fail "man $page: $(zcat "$file" | grep '^\.TH')"
    ! have man || [ -z "$(man --warnings -l "$file" 2>&1 >/dev/null)" ] ||
        fail "man $page warns: $(man --warnings -l "$file" 2>&1 >/dev/null)"
    ! have man || man -l "$file" 2>/dev/null | grep -q "^NAME" || fail "man $page renders no NAME"
done

machine() { readelf -h "$1" | sed -n 's/^ *Machine: *//p'; }
if [ "$(machine "$tree/bin/schedreport")" = "$(machine /bin/sh)" ]; then
    out=$("$tree/bin/schedreport" 0) || true
    [[ $out == *"pid=0     Policy = "* ]] || fail "installed schedreport printed: $out"
    out=$("$tree/bin/schedassign") || true
    [ "${out%%$'\n'*}" = "schedassign [pid] [FIFO | RR | OTHER | MGMT | CALLP | IO | MTC ] [priority]" ] ||
        fail "installed schedassign printed: $out"
fi

have man || { echo "SKIPPED: rendering the man pages needs man-db (apt-get install man-db)"; exit 77; }
echo "installed tree $tree: as expected"
