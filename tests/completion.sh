#!/usr/bin/env bash
# Sources the completion file and checks what it offers at each position.
set -u
# shellcheck source=/dev/null
. "$1"
failures=0
sleep 1000 &
sleeper=$!
trap 'kill $sleeper' EXIT
trap 'exit 130' INT && trap 'exit 143' TERM  # through the EXIT trap

# offers WORD...: the offers, sorted, on one line, for the command line WORD... (the last under the cursor)
offers() {
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMPREPLY=()
    "$(complete -p "$1" | sed -n 's/.*-F \([^ ]*\) .*/\1/p')"
    [ ${#COMPREPLY[@]} -eq 0 ] || printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
}
expect() {  # expect DESCRIPTION ACTUAL EXPECTED
    [ "$2" = "$3" ] && echo "ok: $1" && return
    echo "FAIL: $1: offered [$2], expected [$3]"
    failures=$((failures + 1))
}
among() { tr ' ' '\n' <<<"$1" | grep -x "$2"; }  # among OFFERS PID: PID, if it is one of OFFERS

for tool in schedassign schedreport; do
    all=$(offers "$tool" "")
    expect "$tool offers a running pid" "$(among "$all" "$sleeper")" "$sleeper"
    expect "$tool offers its own shell's pid" "$(among "$all" $$)" $$
    expect "$tool offers pids alone" "$(printf '%s' "$all" | tr -d '0-9 ')" ""
    some=$(offers "$tool" "$sleeper")
    expect "$tool narrows pids by prefix" "$(among "$some" "$sleeper")" "$sleeper"
    expect "$tool offers only pids with the prefix" "$(printf '%s' "$some" | tr ' ' '\n' | grep -v "^$sleeper")" ""
done
expect "schedassign keywords" "$(offers schedassign 812 "")" "CALLP FIFO IO MGMT MTC OTHER RR "
expect "schedassign keywords by prefix" "$(offers schedassign 812 M)" "MGMT MTC "
expect "schedassign keywords are case-sensitive" "$(offers schedassign 812 f)" ""
expect "schedassign priority: nothing" "$(offers schedassign 812 RR "")" ""
expect "schedreport second argument: nothing" "$(offers schedreport 812 "")" ""

[ "$failures" -eq 0 ] && echo "completion: all passed" || echo "completion: $failures failed"
exit $((failures > 0))
