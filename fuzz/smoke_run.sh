#!/usr/bin/env bash
# smoke_run.sh FUZZER SECONDS [OPTION...] -- SEED_FOLDER...
# Runs the fuzzer for SECONDS from the seeds. What it finds on the way goes to a
# scratch folder, so the seeds stay as they are; an input that breaks something
# is kept in the current folder (crash-*, timeout-*, oom-*) and fails the run.
set -euo pipefail
fuzzer=$1 seconds=$2
shift 2
options=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do options+=("$1"); shift; done
[ $# -gt 0 ] && shift
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# A fixed seed: each run tries the same inputs, so the test command fails for a change of
# the code, not by chance; longer runs by hand (see README.md) take fresh seeds.
"$fuzzer" -seed=1 -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$PWD/" "${options[@]}" "$scratch" "$@"
