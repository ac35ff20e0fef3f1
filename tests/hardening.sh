#!/bin/sh
# hardening.sh dynamic|static PROGRAM...
# Each program must be built as Debian hardens its system tools: checked
# formatted output (a __printf_chk call), a stack protector
# (__stack_chk_fail), read-only relocations (a GNU_RELRO segment) and, when
# dynamic, bound at start (BIND_NOW). readelf reads the target's binaries as
# well as the host's.
mode=$1
shift
status=0
for program in "$@"; do
    symbols=$(readelf -sW "$program")
    missing=""
    printf '%s\n' "$symbols" | grep -q '__printf_chk' || missing="$missing fortify"
    printf '%s\n' "$symbols" | grep -q '__stack_chk_fail' || missing="$missing stack-protector"
    readelf -lW "$program" | grep -q 'GNU_RELRO' || missing="$missing relro"
    if [ "$mode" = dynamic ]; then
        readelf -dW "$program" | grep -Eq '\(FLAGS\).*BIND_NOW|\(FLAGS_1\).*NOW' || missing="$missing bind-now"
    fi
    if [ -z "$missing" ]; then
        echo "ok: $program is hardened"
    else
        echo "FAIL: $program lacks:$missing"
        status=1
    fi
done
exit $status
