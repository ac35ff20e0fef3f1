#!/bin/sh
# Each program must need the C library and nothing else: no C++ runtime, no
# libm, no libgcc_s. readelf reads the target's binaries as well as the host's.
status=0
for program in "$@"; do
    needed=$(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ')
    if [ "$needed" = "libc.so.6 " ]; then
        echo "ok: $program needs $needed"
    else
        echo "FAIL: $program needs: $needed(expected libc.so.6 alone)"
        status=1
    fi
done
exit $status
