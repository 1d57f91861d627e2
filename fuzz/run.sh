#!/usr/bin/env bash
# Builds the fuzz targets (tree build-fuzz, clang with libFuzzer, address and
# undefined-behaviour sanitizers), makes their seed corpora from simulated
# trains and runs every target (or the ones named) for a fixed number of
# executions. Any crash, sanitizer report, hang (10 s per input) or runaway
# memory stops the run with a non-zero status; the input is kept in
# build-fuzz/artifacts/.
#   fuzz/run.sh [--runs=N] [--time=S] [--keep] [--workers=W] [target ...]
#     --runs=N   executions per target (default 2000: the smoke run)
#     --time=S   stop each target after S seconds even if N is not reached
#     --keep     grow the corpora in build-fuzz/corpus/<target> (else each
#                run starts from the seeds and keeps nothing)
#     --workers=W  run W processes of each target side by side on its corpus,
#                each picking up what the others add, N/W executions each
#                (for a slow target on a machine with cores to spare)
set -euo pipefail
cd "$(dirname "$0")/.."

runs=2000
time_limit=0
keep=0
workers=1
targets=()
for a in "$@"; do
  case "$a" in
    --runs=*) runs=${a#--runs=} ;;
    --time=*) time_limit=${a#--time=} ;;
    --keep) keep=1 ;;
    --workers=*) workers=${a#--workers=} ;;
    -*) echo "unknown option $a" >&2; exit 2 ;;
    *) targets+=("$a") ;;
  esac
done

for n in "$runs" "$workers"; do
  if ! [[ "$n" =~ ^[1-9][0-9]*$ ]]; then
    echo "fuzz: --runs and --workers take a whole number of 1 or more, not '$n'" >&2
    exit 2
  fi
done
if ! [[ "$time_limit" =~ ^[0-9]+$ ]]; then
  echo "fuzz: --time takes a whole number of seconds, not '$time_limit'" >&2
  exit 2
fi

if ! command -v clang++ >/dev/null; then
  echo "fuzz: clang++ not found, fuzz targets not built" >&2
  exit 1
fi
jobs=$(nproc 2>/dev/null || echo 2)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug -DTRAIN_FUZZ=ON \
  -DTRAIN_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build build-fuzz -j"$jobs" --target fuzz_all >/dev/null

bin=build-fuzz/bin
seeds=build-fuzz/seeds
rm -rf "$seeds"
"$bin/fuzz_seeds" "$seeds" >/dev/null
mkdir -p build-fuzz/artifacts

if [ ${#targets[@]} -eq 0 ]; then
  while IFS=: read -r name corpus; do
    [ -n "$name" ] && targets+=("$name")
  done < build-fuzz/fuzz_targets.txt
fi

status=0
for t in "${targets[@]}"; do
  kind=$(grep "^$t:" build-fuzz/fuzz_targets.txt | cut -d: -f2)
  if [ -z "$kind" ]; then
    echo "fuzz: no target $t" >&2
    status=1
    continue
  fi
  if [ "$keep" = 1 ]; then
    corpus=build-fuzz/corpus/$t
    mkdir -p "$corpus"
  else
    corpus=$(mktemp -d /tmp/trainfuzz_corpus_XXXXXX)
  fi
  start=$(date +%s)
  logs=()
  pids=()
  for ((w = 0; w < workers; w++)); do
    log=$(mktemp /tmp/trainfuzz_log_XXXXXX)
    logs+=("$log")
    "$bin/fuzz_$t" -runs=$(( (runs + workers - 1) / workers )) -max_total_time="$time_limit" -timeout=10 \
      -rss_limit_mb=2048 -close_fd_mask=3 -artifact_prefix="$PWD/build-fuzz/artifacts/$t-" \
      "$corpus" "$seeds/$kind" >"$log" 2>&1 &
    pids+=($!)
  done
  # The first worker to stop on a finding stops the others.
  failed=()
  running=("${pids[@]}")
  while [ ${#running[@]} -gt 0 ]; do
    done_pid=
    rc=0
    wait -n -p done_pid "${running[@]}" || rc=$?
    left=()
    for p in "${running[@]}"; do [ "$p" = "$done_pid" ] || left+=("$p"); done
    running=("${left[@]}")
    if [ "$rc" != 0 ]; then
      for ((w = 0; w < workers; w++)); do
        [ "${pids[$w]}" = "$done_pid" ] && failed+=("${logs[$w]}")
      done
      [ ${#running[@]} -gt 0 ] && { kill "${running[@]}" 2>/dev/null || true; wait "${running[@]}" 2>/dev/null || true; }
      break
    fi
  done
  if [ ${#failed[@]} -eq 0 ]; then
    execs=0
    for log in "${logs[@]}"; do
      n=$(grep -o 'Done [0-9]* runs' "$log" | tail -1 | cut -d' ' -f2)
      execs=$(( execs + ${n:-0} ))
    done
    echo "fuzz_$t: $execs executions in $(( $(date +%s) - start )) s, nothing found"
  else
    echo "fuzz_$t: FAILED (log below, input in build-fuzz/artifacts/)" >&2
    tail -40 "${failed[0]}" >&2
    status=1
  fi
  rm -f "${logs[@]}"
  [ "$keep" = 1 ] || rm -rf "$corpus"
done
exit $status
