#!/bin/sh
# linkage.sh dynamic|static PROGRAM...
# dynamic: each program must need the C library and nothing else: no C++
# runtime, no libm, no libgcc_s. static: no program interpreter and no shared
# library at all. readelf reads the target's binaries as well as the host's.
mode=$1
shift
status=0
for program in "$@"; do
    needed=$(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ')
    interpreter=$(readelf -l "$program" | sed -n 's/.*Requesting program interpreter: \(.*\)\]/\1/p')
    case $mode in
        dynamic) expected="libc.so.6 " ;;
        static) expected="" ;;
        *) echo "usage: $0 dynamic|static PROGRAM..."; exit 2 ;;
    esac
    if [ "$needed" = "$expected" ] && { [ "$mode" = dynamic ] || [ -z "$interpreter" ]; }; then
        echo "ok: $program needs ${needed:-nothing}${interpreter:+, interpreter $interpreter}"
    else
        echo "FAIL: $program needs: ${needed:-nothing}, interpreter: ${interpreter:-none} (expected $mode)"
        status=1
    fi
done
exit $status
