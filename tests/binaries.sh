#!/bin/sh
# binaries.sh CHECK EXPECTED PROGRAM...: what readelf and file(1) tell of each program:
#   linkage dynamic|static  the C library alone; or no interpreter, no library
#   hardening "LIST" DB     each of LIST's fortify (__printf_chk), stack-protector
#                           (__stack_chk_fail), relro, bind-now; the first two also
#                           in each product object's command in the database DB
#   architecture PATTERN    file(1)'s description matches; without file(1), 77
check=$1
expected=$2
shift 2
status=0
if [ "$check" = hardening ]; then
    commands=$(grep -E '"command": .*/benchmarking/([a-z]+/src|common)/[a-z_]+\.cpp(\\")?",?$' "$1")
    shift
    [ -n "$commands" ] || { echo "FAIL: no product object in the compilation database"; status=1; }
    # The last flag of its kind decides.
    for property in $expected; do
        case $property in
        fortify) kind='[-,][DU]_FORTIFY_SOURCE(=[0-9]*)?' wanted='[-,]D_FORTIFY_SOURCE=[1-9]' ;;
        stack-protector) kind='-f(no-)?stack-protector(-[a-z]+)?' wanted='-fstack-protector-(strong|all)' ;;
        *) continue ;;
        esac
        printf '%s\n' "$commands" | while IFS= read -r command; do
            source=$(printf '%s\n' "$command" | grep -oE '[^ /]*\.cpp' | tail -n 1)
            printf '%s\n' "$command" | grep -oE -- "$kind" | tail -n 1 | grep -Eqx -- "$wanted" ||
                echo "FAIL: compiled without $property: $source"
        done | grep . && status=1
    done
fi
if [ "$check" = architecture ] && ! command -v file >/dev/null; then
    echo "SKIPPED: needs file(1) (apt-get install file)"
    exit 77
fi

# What PROGRAM lacks of the expected, or nothing.
lacks() {
    case $check in
    linkage)
        needed=$(readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ')
        interpreter=$(readelf -l "$1" | sed -n 's/.*Requesting program interpreter: \(.*\)\]/\1/p')
        case $expected:$needed:$interpreter in
        "dynamic:libc.so.6 :"?* | "static::") ;;
        *) echo "$expected linkage: needs ${needed:-nothing}, interpreter ${interpreter:-none}" ;;
        esac ;;
    hardening)
        for property in $expected; do
            case $property in
            fortify) readelf -sW "$1" | grep -q '__printf_chk' ;;
            stack-protector) readelf -sW "$1" | grep -q '__stack_chk_fail' ;;
            relro) readelf -lW "$1" | grep -q 'GNU_RELRO' ;;
            bind-now) readelf -dW "$1" | grep -Eq '\(FLAGS\).*BIND_NOW|\(FLAGS_1\).*NOW' ;;
            *) false ;;
            esac || printf ' %s' "$property"
        done | sed 's/^./lacks&/' ;;
    architecture)
        file -b "$1" | grep -Eq "$expected" || file -b "$1" ;;
    esac
}

for program in "$@"; do
    wrong=$(lacks "$program")
    [ -z "$wrong" ] && echo "ok: $program: $check $expected" && continue
    echo "FAIL: $program: $check: $wrong"
    status=1
done
exit $status
