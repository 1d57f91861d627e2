#!/usr/bin/env bash
# Long fuzzing: every target (or the ones named) for 10^6 executions each
# (FUZZ_RUNS to change it), growing the corpora in build-fuzz/corpus/ so that
# a later long run goes on from where this one stopped.
set -euo pipefail
cd "$(dirname "$0")"
# Allocation stacks are not recorded (about 10% more executions a second);
# replaying a kept input shows them.
export ASAN_OPTIONS=${ASAN_OPTIONS:-malloc_context_size=0}
exec ./run.sh --runs="${FUZZ_RUNS:-1000000}" --keep "$@"
