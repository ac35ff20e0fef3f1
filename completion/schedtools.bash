# bash completion for schedassign and schedreport: running pids where a pid
# goes, the policy keywords where a policy goes. Installed under each
# program's name, so that bash-completion finds it for either.

# The pids of the running processes, from /proc.
_schedtools_pids()
{
    local pids=(/proc/[0-9]*)
    echo "${pids[@]#/proc/}"
}

_schedassign()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    COMPREPLY=()
    case $COMP_CWORD in
        1) mapfile -t COMPREPLY < <(compgen -W "$(_schedtools_pids)" -- "$cur") ;;
        2) mapfile -t COMPREPLY < <(compgen -W "FIFO RR OTHER MGMT CALLP IO MTC" -- "$cur") ;;
    esac
}

_schedreport()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    COMPREPLY=()
    if [ "$COMP_CWORD" -eq 1 ]; then
        mapfile -t COMPREPLY < <(compgen -W "$(_schedtools_pids)" -- "$cur")
    fi
}

complete -F _schedassign schedassign
complete -F _schedreport schedreport
