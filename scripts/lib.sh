# The helpers that mean the same in every script that sources this file.
# shellcheck shell=bash

# Progress on standard error, apart from what a script prints for its caller.
say() { echo "$*" >&2; }

fail() { say "FAIL: $*"; exit 1; }  # says FAIL and why, and ends the script with status 1

have() { command -v "$1" >/dev/null; }  # whether a command is on the PATH

# needs WHAT NEED...: says SKIPPED and exits 77 unless each NEED, a command or a file, is there.
needs() {
    local what=$1 need missing=""
    shift
    for need; do
        have "$need" || [ -e "$need" ] || missing="$missing $need"
    done
    [ -z "$missing" ] || { echo "SKIPPED: $what needs$missing (scripts/install-deps all)"; exit 77; }
}

# sysroot LIBC FILE: sets the variable LIBC (musl, uclibc) to the path that
# scripts/LIBC-sysroot prints into FILE, or, returning 1 where it skips, to the
# reason; fails on any other failure.
sysroot() {
    local status=0 text
    run "scripts/$1-sysroot" >"$2" || status=$?
    text=$(cat "$2")
    printf -v "$1" '%s' "${text#SKIPPED: }"
    [ "$status" -eq 0 ] || [ "$status" -eq 77 ] || fail "building $1 for PowerPC (scripts/$1-sysroot)"
    return $((status != 0))
}

# build_sysroot LIBC KEY BUILD FILE..., for scripts/LIBC-sysroot: builds LIBC with BUILD into
# LIBC/ beside the kernel cache, keyed by KEY and the script, unless whole there (each FILE);
# prints its path, $entry (log: $log). The caller's EXIT trap removes $staging.
build_sysroot() {
    local kernels=${SCHED_KERNEL_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/schedtools/kernel} dir
    dir=$(dirname "$kernels")/$1
    # The prefix is written into a specs file, which cannot quote a blank.
    [[ $dir != *[[:space:]:]* ]] || fail "a blank or colon in the $1 cache $dir"
    entry=$dir/powerpc-$({ echo "$2"; cat "scripts/$1-sysroot"; } | sha256sum | cut -c1-16)
    log=$entry.log
    staging=""
    stop_jobs_on_interrupt
    mkdir -p "$dir"
    cached "$1" "$entry" "${@:3}"
    echo "$entry"
}

# Adds to the caller's array `skipped` each test that ctest's JUnit report FILE
# marks skipped, as "WHERE: name: reason", the reason from its "SKIPPED: " line.
note_skips() {  # note_skips WHERE FILE
    local line
    [ -f "$2" ] || fail "no JUnit report $2"
    while IFS= read -r line; do
        skipped+=("$1: $line")
    done < <(awk '/<testcase / { name = $0; sub(/.*<testcase name="/, "", name); sub(/".*/, "", name); skip = 0; why = "" }
         /<skipped/ { skip = 1 }
         /SKIPPED: / && why == "" { why = $0; sub(/.*SKIPPED: /, "", why) }
         /<\/testcase>/ && skip {
             gsub(/&quot;/, "\"", why); gsub(/&apos;/, "'\''", why); gsub(/&lt;/, "<", why)
             gsub(/&gt;/, ">", why); gsub(/&amp;/, "\\&", why)
             print name ": " (why == "" ? "skipped" : why) }' "$2")
}

# Makes a private scratch directory in TMPDIR and prints its path, or fails, so
# that the caller stops before it writes or removes anything:  work=$(scratch NAME) || exit 1
scratch() {
    local dir
    dir=$(mktemp -d "${TMPDIR:-/tmp}/schedtools-$1.XXXXXX") && [ -d "$dir" ] ||
        fail "cannot make a scratch directory in ${TMPDIR:-/tmp} (TMPDIR)"
    echo "$dir"
}

# A long step in a process group of its own, without a cache entry's lock
# (fd 9), so that an interruption stops it with all it started.
run() { setsid -w "$@" 9>&- & wait "$!"; }

# logged LOG WHAT COMMAND...: runs COMMAND, its output appended to LOG; when it
# fails, shows the end of LOG and fails saying WHAT.
logged() {
    local log=$1 what=$2
    shift 2
    "$@" >>"$log" 2>&1 || { tail -30 "$log" >&2; fail "$what (log: $log)"; }
}

# From now on INT or TERM stops every job of this shell with its process group
# (one not yet its own group too), waits until they are gone (5 s at most), and
# exits 130 or 143 through the EXIT trap's clean-up.
stop_jobs_on_interrupt() { trap 'stop_jobs 130' INT; trap 'stop_jobs 143' TERM; }
stop_jobs() {
    trap - INT TERM
    local pids pid alive
    pids=$(jobs -p)
    for pid in $pids; do
        kill -TERM -- "-$pid" "$pid" 2>/dev/null || true
    done
    wait || true
    for _ in $(seq 50); do
        alive=false
        for pid in $pids; do
            ! pgrep -g "$pid" -r D,R,S,T,t >/dev/null || alive=true  # not counting zombies left to PID 1
        done
        $alive || break
        sleep 0.1
    done
    say "${0##*/}: interrupted"
    exit "$1"
}

# cached LABEL ENTRY BUILD FILE...: finds the directory ENTRY whole (holding
# every FILE), or BUILD fills new/ in a staging directory beside it, renamed
# into place: published whole or not at all. A lock on ENTRY.lock makes runs
# side by side build it once; staging found under it was left by a run killed.
# The caller's EXIT trap removes $staging.
cached() {
    local label=$1 entry=$2 build=$3 file whole=true started=$SECONDS
    shift 3
    exec 9>"$entry.lock"
    # In the background, so that INT or TERM is heard while another run builds
    # the entry: the lock taken is this shell's, on fd 9.
    setsid -w flock 9 &
    wait "$!" || fail "cannot lock $entry.lock"
    rm -rf "$entry".staging.*
    for file; do
        [ -f "$entry/$file" ] || whole=false
    done
    if $whole; then
        say "$label: cached in $entry"
    else
        staging=$(mktemp -d "$entry.staging.XXXXXX") || fail "cannot make a staging directory beside $entry"
        "$build" "$staging"
        [ ! -e "$entry" ] || mv -T "$entry" "$staging/old"
        mv -T "$staging/new" "$entry"
        rm -rf "$staging"
        staging=""
        say "$label: built in $((SECONDS - started)) s into $entry"
    fi
    exec 9>&-
}
