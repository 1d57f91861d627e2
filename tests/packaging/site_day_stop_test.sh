#!/usr/bin/env bash
# The site-day batch's scheduling with stand-in tools that take their time:
# never two tools on one train at once, Ctrl-C (once: started trains finish;
# twice: the running step finishes) without cutting a tool off, one run per
# train directory, and its refusals.
source=$1
. "$(dirname "$0")/lib.sh"
set -m  # each run gets a process group of its own, as a terminal's job
siteday=$source/scripts/site-day.sh
mapfile -t steps < <("$siteday" --steps)

# Stand-ins log when they start and finish on a train, note a second tool on
# the same train, sleep $STUB_SLEEP seconds, and fail for $STUB_FAIL
# ("<base>:<program>").
stubs=$scratch/bin
mkdir "$stubs"
for step in "${steps[@]}"; do
  cat >"$stubs/${step%% *}" <<'STUB'
#!/usr/bin/env bash
name=${0##*/} base=${1%%.*}
mkdir "$STUB_LOG/$base.busy" 2>/dev/null || echo "$base $name" >>"$STUB_LOG/overlap"
echo "$name" >>"$STUB_LOG/$base.started"
sleep "$STUB_SLEEP"
echo "$name" >>"$STUB_LOG/$base.done"
rmdir "$STUB_LOG/$base.busy"
[ "${STUB_FAIL-}" = "$base:$name" ] && exit 5
exit 0
STUB
  chmod +x "$stubs/${step%% *}"
done

# A train directory of $1 trains and an empty log.
new_day() {
  rm -rf "$scratch/day" "$scratch/log"
  mkdir "$scratch/day" "$scratch/log"
  local i
  for ((i = 1; i <= $1; i++)); do : >"$scratch/day/$(printf '%08d' "$i").007"; done
}
run() { STUB_LOG=$scratch/log "$siteday" --bin="$stubs" --out="$scratch/out" "$@"; }
wait_for() {
  local tries=0
  until compgen -G "$1" >/dev/null; do
    sleep 0.05
    tries=$((tries + 1))
    [ $tries -lt 600 ] || { fail "timed out waiting for $1"; return 1; }
  done
}
# Trains a run started: every step of theirs that started also finished.
check_no_tool_cut_off() {
  local f
  for f in "$scratch"/log/*.started; do
    [ -e "$f" ] || continue
    cmp -s "$f" "${f%.started}.done" || fail "$1: a tool on $(basename "$f" .started) was cut off"
  done
  [ -e "$scratch/log/overlap" ] && fail "$1: two tools on one train at once: $(cat "$scratch/log/overlap")"
}

# Eight trains, four at once, one failing step: all run, in pipeline order.
new_day 8
STUB_SLEEP=0.05 STUB_FAIL=00000003:Wipezero run "$scratch/day" 4 >"$scratch/run.out" 2>&1
status=$?
[ "$status" = 1 ] || fail "a failed step: status $status, not 1"
check_no_tool_cut_off "full run"
for i in 1 2 3 4 5 6 7 8; do
  printf '%s\n' "${steps[@]%% *}" | cmp -s - "$scratch/log/0000000$i.done" || fail "train $i: steps not all run in order"
done
grep -E '^00000003 ' "$scratch/out/summary.txt" | grep -qE '(^| )5( |$)' || fail "the failed step's status 5 is not in the summary"
grep -q '^8 trains: 1 with a failed step, 0 not finished' "$scratch/out/summary.txt" || fail "full run: $(tail -1 "$scratch/out/summary.txt")"

# One Ctrl-C: the trains already started finish their pipeline, no other
# starts.
new_day 8
STUB_SLEEP=0.2 run "$scratch/day" 2 >"$scratch/run.out" 2>&1 &
job=$!
wait_for "$scratch/log/*.started"
kill -INT -- -"$job"
wait "$job"
status=$?
[ "$status" = 130 ] || fail "one Ctrl-C: status $status, not 130"
check_no_tool_cut_off "one Ctrl-C"
started=$(ls "$scratch"/log/*.started 2>/dev/null | wc -l)
[ "$started" -ge 1 ] && [ "$started" -le 2 ] || fail "one Ctrl-C: $started trains started, not 1 or 2"
for f in "$scratch"/log/*.done; do
  [ "$(wc -l <"$f")" = ${#steps[@]} ] || fail "one Ctrl-C: a started train did not finish its pipeline"
done
grep -q "^8 trains: 0 with a failed step, $((8 - started)) not finished" "$scratch/out/summary.txt" ||
  fail "one Ctrl-C: $(tail -1 "$scratch/out/summary.txt")"

# Twice: the running step finishes, the train's later steps do not start.
new_day 3
STUB_SLEEP=0.3 run "$scratch/day" 1 >"$scratch/run.out" 2>&1 &
job=$!
wait_for "$scratch/log/00000001.started"
kill -INT -- -"$job"
sleep 0.1
kill -INT -- -"$job"
wait "$job"
status=$?
[ "$status" = 130 ] || fail "two Ctrl-Cs: status $status, not 130"
check_no_tool_cut_off "two Ctrl-Cs"
ran=$(wc -l <"$scratch/log/00000001.done")
[ "$ran" -lt ${#steps[@]} ] || fail "two Ctrl-Cs: all $ran steps ran"
grep -E '^00000001 ' "$scratch/out/summary.txt" | grep -qE ' - ' || fail "two Ctrl-Cs: steps not run are not shown"
[ -e "$scratch/log/00000002.started" ] && fail "two Ctrl-Cs: a second train started"

# One run per train directory at a time.
new_day 2
STUB_SLEEP=0.3 run "$scratch/day" 1 >/dev/null 2>&1 &
job=$!
wait_for "$scratch/log/*.started"
STUB_SLEEP=0 run "$scratch/day" 1 >"$scratch/second.out" 2>&1
status=$?
[ "$status" = 3 ] || fail "a second run on a busy directory: status $status, not 3"
wait "$job" || fail "the first run failed beside the refused second one"

# Refusals, and a directory without trains.
mkdir "$scratch/empty"
run >/dev/null 2>&1; [ $? = 2 ] || fail "no arguments: not status 2"
run "$scratch/missing" >/dev/null 2>&1; [ $? = 2 ] || fail "a missing directory: not status 2"
run "$scratch/empty" 0 >/dev/null 2>&1; [ $? = 2 ] || fail "0 jobs: not status 2"
run "$scratch/empty" x >/dev/null 2>&1; [ $? = 2 ] || fail "jobs x: not status 2"
"$siteday" --bin="$scratch/missing" "$scratch/empty" >/dev/null 2>&1; [ $? = 2 ] || fail "a missing program directory: not status 2"
out=$(run "$scratch/empty" 2>&1); status=$?
[ "$status" = 0 ] && [[ $out == *"no trains"* ]] || fail "an empty directory: status $status: $out"
finish
