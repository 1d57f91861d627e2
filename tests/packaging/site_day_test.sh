#!/usr/bin/env bash
# The site-day batch with the real tools on simulated trains: the files it
# leaves and the reports it writes are those of running the pipeline one
# train at a time, and its summary gives each step's status.
build=$1 source=$2
. "$(dirname "$0")/lib.sh"
bin=$build/bin
siteday=$source/scripts/site-day.sh
if [ ! -x "$bin/trainsim" ] || [ ! -x "$bin/edgemill" ]; then
  echo "trainsim or edgemill not built: skipped"
  exit 77
fi

day=$scratch/day
mkdir "$day"
"$bin/trainsim" --sample >"$scratch/demo.train"
for seed in 1 2 3 4 5; do
  (cd "$day" && "$bin/trainsim" "$scratch/demo.train" "0000890$seed" --seed=$seed >/dev/null) || fail "trainsim seed $seed"
done
: >"$day/00009000.007"            # a train whose IO events are empty: edgemill refuses it
cp "$day/00008901.035" "$day/00009100.035"   # files without a .007 are not a train
echo "notes" >"$day/README.txt"
cp -a "$day" "$scratch/alone"

# The pipeline one train at a time, as an operator would run it.
mapfile -t steps < <("$siteday" --steps)
expected=$scratch/expected
mkdir "$expected"
for base in 00008901 00008902 00008903 00008904 00008905 00009000; do
  for step in "${steps[@]}"; do
    read -r -a words <<<"${step//\{\}/$base}"
    [ -x "$bin/${words[0]}" ] || continue
    {
      echo "== ${words[*]}"
      (cd "$scratch/alone" && "$bin/${words[0]}" "${words[@]:1}" 2>&1)
      printf '(exit status %d)\n\n' $?
    } >>"$expected/$base.report"
  done
done

"$siteday" --bin="$bin" --out="$scratch/out" "$day" 3 >"$scratch/run.out" 2>&1
status=$?
[ "$status" = 1 ] || fail "status $status, not 1 (one train's edgemill fails): $(cat "$scratch/run.out")"

# Same files, byte for byte, and nothing else in the train directory.
. "$source/scripts/common.sh"
same_train_dirs "$scratch/alone" "$day" >"$scratch/diff" || fail "files differ from a train-at-a-time run: $(head -20 "$scratch/diff")"

for report in "$expected"/*.report; do
  base=$(basename "$report" .report)
  if [ ! -f "$scratch/out/$base.report" ]; then
    fail "no report for $base"
    continue
  fi
  sed -E 's/^\(exit status ([0-9]+), [0-9]+ ms\)$/(exit status \1)/' "$scratch/out/$base.report" >"$scratch/got.report"
  cmp -s "$report" "$scratch/got.report" || fail "report of $base differs: $(diff "$report" "$scratch/got.report" | head -10)"
done
[ -e "$scratch/out/00009100.report" ] && fail "a file set without .007 was taken for a train"
ls "$scratch/out" | grep -q '\.part$' && fail "unfinished report files left behind"

# Summary: one row per train with the statuses of the train-at-a-time run;
# the empty train's edgemill failed, and so did the run.
summary=$scratch/out/summary.txt
[ -f "$summary" ] || fail "no summary.txt"
cmp -s "$summary" <(sed -n '/^Train /,$p' "$scratch/run.out") || fail "printed summary differs from summary.txt"
[ "$(grep -cE '^[0-9]{8} ' "$summary")" = 6 ] || fail "summary rows: $(cat "$summary")"
read -r -a columns <"$summary"
[ "${columns[*]}" = "Train ${steps[*]%% *} ms" ] || fail "summary columns: ${columns[*]}"
failed=0
for report in "$expected"/*.report; do
  base=$(basename "$report" .report)
  read -r -a fields <<<"$(grep "^$base " "$summary")"
  bad=0
  for ((i = 1; i <= ${#steps[@]}; i++)); do
    program=${columns[$i]}
    want=$(awk -v step="== $program " 'index($0, step) == 1 { found = 1 }
                found && /^\(exit status [0-9]+\)$/ { gsub(/[^0-9]/, ""); print; exit }' "$report")
    [ -n "$want" ] || want=n/a
    [ "${fields[$i]-}" = "$want" ] || fail "$base: $program shows ${fields[$i]-nothing}, not $want"
    case $program:$want in *:0|*:n/a|heatalign:1) ;; *) bad=1 ;; esac
  done
  [[ ${fields[-1]} =~ ^[0-9]+$ ]] || fail "$base has no time: ${fields[*]}"
  failed=$((failed + bad))
done
read -r -a fields <<<"$(grep '^00009000 ' "$summary")"
[ "${fields[1]}" != 0 ] || fail "the empty train's edgemill shows 0"
grep -q "^6 trains: $failed with a failed step, 0 not finished" "$summary" || fail "closing line: $(tail -1 "$summary")"
finish
