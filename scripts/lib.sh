# The helpers that mean the same in every script that sources this file.
# shellcheck shell=bash

# Prints its arguments on standard error, where they never mix with what a
# script prints for a caller to read.
say() { echo "$*" >&2; }

# Says FAIL and why on standard error, and ends the script with status 1.
fail() {
    say "FAIL: $*"
    exit 1
}

# Whether a command is on the PATH.
have() { command -v "$1" >/dev/null; }
