#!/bin/sh
# fuzz.sh FUZZER CORPUS WORKDIR
# Runs a libFuzzer target for FUZZ_SECONDS (default 30) from a copy of the
# committed CORPUS, so that new inputs and any finding stay in WORKDIR.
set -eu
fuzzer=$1
work=$3
rm -rf "$work"
mkdir -p "$work"
cp -r "$2" "$work/corpus"
echo "fuzzing $(basename "$fuzzer") for ${FUZZ_SECONDS:-30} s; findings go to $work/"
exec "$fuzzer" -max_total_time="${FUZZ_SECONDS:-30}" -max_len=4096 -print_final_stats=1 \
    -artifact_prefix="$work/" "$work/corpus"
