#!/bin/sh
# Each file given after the pattern must be, as file(1) reads it, of the
# machine the pattern names (e.g. "32-bit MSB .*PowerPC").
pattern=$1
shift
if ! command -v file >/dev/null; then
    echo "SKIPPED: needs file(1) (apt-get install file)"
    exit 77
fi
status=0
for program in "$@"; do
    description=$(file -b "$program")
    if printf '%s\n' "$description" | grep -Eq "$pattern"; then
        echo "ok: $program: $description"
    else
        echo "FAIL: $program: $description (expected $pattern)"
        status=1
    fi
done
exit $status
