#!/usr/bin/env bash
# The system test's kernel cache, with a stub in place of the kernel build; each "ok:" says what holds.
set -u
cd "$(dirname "$0")/.." || exit 1
. scripts/lib.sh
work=$(scratch system-cache) || exit 1
trap 'kill -TERM $(jobs -p) 2>/dev/null; wait; rm -rf "$work"' EXIT
stop_jobs_on_interrupt
export SCHED_KERNEL_CACHE="$work/cache" SYSTEM_TEST_BUILD="$work/build"
child() {  # child PID NAME: prints the pid of PID's child NAME once there is one (10 s at most)
    for _ in $(seq 100); do
        pgrep -P "$1" -x "$2" && return
        sleep 0.1
    done
    return 1
}

for run in a b; do
    SYSTEM_TEST_STUB_KERNEL=2 scripts/system-test --kernel-only >"$work/$run" 2>"$work/$run.log" &
done
for _ in a b; do
    wait -n || fail "a run failed: $(cat "$work/a.log" "$work/b.log")"
done
cmp -s "$work/a" "$work/b" || fail "the runs name different images: $(cat "$work/a" "$work/b")"
entry=$(dirname "$(cat "$work/a")")
ls "$entry/vmlinux" "$entry/gen_init_cpio" "$entry/.config" >/dev/null || fail "the cache entry is not whole"
builds=$(wc -l <"$SCHED_KERNEL_CACHE/stub-builds")
[ "$builds" -eq 1 ] || fail "the kernel was built $builds times"
[ -z "$(find "$SCHED_KERNEL_CACHE" -name '*.staging.*')" ] || fail "a staging directory was left in the cache"
echo "ok: two cold runs side by side built the kernel once and both found it whole"

rm -rf "$SCHED_KERNEL_CACHE"
# The stub's sleep and the lock's flock are each a child of their run (lib.sh's run, cached).
SYSTEM_TEST_STUB_KERNEL=61.5 scripts/system-test --kernel-only >/dev/null 2>&1 &
run=$!
stub=$(child "$run" sleep) || fail "the stub build never started"
SYSTEM_TEST_STUB_KERNEL=61.5 scripts/system-test --kernel-only >/dev/null 2>&1 &
waiting=$!
child "$waiting" flock >/dev/null || fail "the second run never waited for the lock"
kill -TERM "$waiting"
asked=$SECONDS
wait "$waiting" && status=0 || status=$?
[ "$status" -eq 143 ] || fail "status $status after TERM while waiting for the lock, expected 143"
[ $((SECONDS - asked)) -le 5 ] || fail "the waiting run took $((SECONDS - asked)) s to stop"
kill -0 "$stub" || fail "the first run's build stopped with the waiting run"
echo "ok: a run stopped by TERM while it waits for another's build stops at once"
kill -TERM "$run"
wait "$run" && status=0 || status=$?
[ "$status" -eq 143 ] || fail "status $status after TERM, expected 143"
! kill -0 "$stub" 2>/dev/null || fail "the build goes on after TERM"
[ -z "$(find "$SCHED_KERNEL_CACHE" -mindepth 1 -type d)" ] || fail "a cache entry after TERM: $(ls -A "$SCHED_KERNEL_CACHE")"
echo "ok: a run stopped by TERM stops its build and leaves nothing behind"
