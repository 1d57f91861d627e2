#!/usr/bin/env bash
# Runs the site's standard pipeline over every train of a directory (a day of
# trains): each train whose IO event file <base>.007 lies in the directory
# gets the steps below, one after the other, while up to JOBS trains are
# processed at once. One report per train and a summary table are written.
set -uo pipefail

# The standard pipeline, in order. "{}" stands for the train's base name. A
# step whose program is not installed is skipped (shown as n/a).
STEPS=(
  "edgemill {} /p"
  "Trimwell {} /OP1 /OP2 /OP3"
  "heatalign {} 2"
  "heatlink {}.018 {}.035"
  "Wipezero {}"
  "Weighpost {}"
  "Idsweep {}"
)

# Exit statuses (as the shell shows them) other than 0 with which a step's
# program reports work done; any other status counts as a failed step.
declare -A DONE_STATUSES=([heatalign]="0 1")

prog=${0##*/}
prog=${prog%.sh}
usage() {
  cat <<EOF
usage: $prog [--out=<report dir>] [--bin=<program dir>] <train dir> [<jobs>]
       $prog --steps

Runs the standard pipeline on every train of <train dir> (every <base>.007
there), up to <jobs> trains at once (default: the number of cores), never
two tools on the same train at once:
$(printf '    %s\n' "${STEPS[@]//\{\}/<base>}")
Writes one report per train, <base>.report, and summary.txt into the report
directory (default <train dir>/site-day). Ctrl-C lets the trains already
started finish and starts no other; a second Ctrl-C stops after the step
that is running. --steps prints the pipeline ({} stands for the base name).

Exit status: 0 every step did its work (returned 0; heatalign 0 or 1);
1 a step failed; 2 usage; 3 another run is working on <train dir>;
130 interrupted.
EOF
}

# Per-train worker (started by xargs): runs the steps on one train in the
# train directory, writes its report, and leaves its summary row in
# $SITE_DAY_ROWS/<base>. Times are in microseconds, from EPOCHREALTIME less
# its decimal sign (a point or a comma, as the locale has it).
run_train() {
  local base=$1 report="$SITE_DAY_OUT/$base.report" row status step program words t0 elapsed start
  [ -e "$SITE_DAY_ROWS/.stop" ] && return 0
  cd "$SITE_DAY_DIR" || return 1
  start=${EPOCHREALTIME//[.,]/}
  row=""
  {
    for step in "${STEPS[@]}"; do
      program=${step%% *}
      if [ -e "$SITE_DAY_ROWS/.halt" ]; then
        row+=$'\t-'
        continue
      fi
      if [ ! -x "$SITE_DAY_BIN/$program" ]; then
        row+=$'\tn/a'
        continue
      fi
      read -r -a words <<<"$step"
      words=("${words[@]//\{\}/$base}")
      echo "== ${words[*]}"
      t0=${EPOCHREALTIME//[.,]/}
      "$SITE_DAY_BIN/$program" "${words[@]:1}" 2>&1
      status=$?
      elapsed=$(( (${EPOCHREALTIME//[.,]/} - t0) / 1000 ))
      printf '(exit status %d, %d ms)\n\n' "$status" "$elapsed"
      row+=$'\t'$status
    done
  } >"$report.part" 2>&1
  mv -f "$report.part" "$report"
  elapsed=$(( (${EPOCHREALTIME//[.,]/} - start) / 1000 ))
  printf '%s%s\t%d\n' "$base" "$row" "$elapsed" >"$SITE_DAY_ROWS/$base"
}

if [ "${1-}" = "--train" ]; then
  shift
  for base; do run_train "$base"; done
  exit 0
fi

out="" bin="${TRAIN_BIN-}"
while [ $# -gt 0 ]; do
  case $1 in
    --out=*) out=${1#--out=} ;;
    --bin=*) bin=${1#--bin=} ;;
    -h|--help) usage; exit 0 ;;
    --steps) printf '%s\n' "${STEPS[@]}"; exit 0 ;;
    --) shift; break ;;
    -*) echo "$prog: unknown option $1" >&2; usage >&2; exit 2 ;;
    *) break ;;
  esac
  shift
done
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  usage >&2
  exit 2
fi
dir=$1
jobs=${2:-$(nproc 2>/dev/null || echo 2)}
if [ ! -d "$dir" ]; then
  echo "$prog: $dir is not a directory" >&2
  exit 2
fi
if ! [[ $jobs =~ ^[0-9]+$ ]] || [ "$jobs" -lt 1 ] || [ "$jobs" -gt 1024 ]; then
  echo "$prog: the number of jobs must be 1 to 1024, not $jobs" >&2
  exit 2
fi
dir=$(cd "$dir" && pwd -P)
[ -n "$out" ] || out="$dir/site-day"

# The programs: --bin or TRAIN_BIN; else the directory this script is
# installed in, when the programs lie beside it; else build/bin of the
# source tree the script belongs to; else PATH.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
self=$here/${BASH_SOURCE[0]##*/}
if [ -z "$bin" ]; then
  if [ -x "$here/edgemill" ]; then
    bin=$here
  elif [ -x "$here/../build/bin/edgemill" ]; then
    bin=$here/../build/bin
  elif command -v edgemill >/dev/null; then
    bin=$(dirname "$(command -v edgemill)")
  else
    echo "$prog: no edgemill found: name the program directory with --bin=<dir>" >&2
    exit 2
  fi
fi
if [ ! -d "$bin" ]; then
  echo "$prog: program directory $bin does not exist" >&2
  exit 2
fi
bin=$(cd "$bin" && pwd -P)
# Companion programs, for the steps that start them by name.
for companions in "$bin/../companions" "$bin/../libexec/wayside-train-tools"; do
  [ -d "$companions" ] && PATH="$(cd "$companions" && pwd -P):$PATH"
done

mkdir -p "$out" || exit 2
out=$(cd "$out" && pwd -P)

# One run per train directory at a time: two runs would run two tools on
# one train at once.
exec 8<"$dir"
if ! flock -n 8; then
  echo "$prog: another run is working on $dir" >&2
  exit 3
fi

trains=()
while IFS= read -r -d '' f; do
  f=${f##*/}
  trains+=("${f%.007}")
done < <(find "$dir" -maxdepth 1 -type f -name '?*.007' -print0 | LC_ALL=C sort -z)
if [ ${#trains[@]} -eq 0 ]; then
  echo "$prog: no trains (<base>.007) in $dir"
  exit 0
fi

rows=$(mktemp -d "$out/.rows.XXXXXX") || exit 2
cleanup() { rm -rf "$rows"; }
trap cleanup EXIT

interrupts=0
on_interrupt() {
  interrupts=$((interrupts + 1))
  if [ $interrupts -eq 1 ]; then
    : >"$rows/.stop"
    echo "$prog: interrupted: the trains already started finish, no other starts (Ctrl-C again to stop after the running step)" >&2
  else
    : >"$rows/.halt"
    echo "$prog: stopping after the running step" >&2
  fi
}
trap on_interrupt INT TERM

export SITE_DAY_DIR=$dir SITE_DAY_OUT=$out SITE_DAY_ROWS=$rows SITE_DAY_BIN=$bin PATH
started=${EPOCHREALTIME//[.,]/}
echo "$prog: ${#trains[@]} trains in $dir, $jobs at once; reports in $out"
# The workers and their tools ignore Ctrl-C: a tool is never cut off in the
# middle of writing a train's files; the flags above tell the workers when
# to stop.
(
  trap '' INT TERM
  printf '%s\0' "${trains[@]}" | exec xargs -0 -n 4 -P "$jobs" "$BASH" "$self" --train
) &
workers=$!
while :; do
  wait "$workers"
  kill -0 "$workers" 2>/dev/null || break
done
finished=${EPOCHREALTIME//[.,]/}

# Summary table: one row per train, each step's exit status as the shell
# shows it (n/a: program not installed, -: not run), and the train's time.
failed=0 notrun=0
{
  printf '%-12s' Train
  for step in "${STEPS[@]}"; do printf ' %9s' "${step%% *}"; done
  printf ' %9s\n' "ms"
  for base in "${trains[@]}"; do
    if [ -f "$rows/$base" ]; then
      IFS=$'\t' read -r -a fields <"$rows/$base"
    else
      fields=("$base")
      for step in "${STEPS[@]}"; do fields+=("-"); done
      fields+=("-")
    fi
    printf '%-12s' "${fields[0]}"
    for field in "${fields[@]:1}"; do printf ' %9s' "$field"; done
    printf '\n'
    for i in "${!STEPS[@]}"; do
      field=${fields[$((i + 1))]}
      program=${STEPS[$i]%% *}
      if [ "$field" = - ]; then
        notrun=$((notrun + 1))
        break
      fi
      case " ${DONE_STATUSES[$program]:-0} n/a " in
        *" $field "*) ;;
        *) failed=$((failed + 1)); break ;;
      esac
    done
  done
  wall=$(( (finished - started) / 1000 ))
  printf '\n%d trains: %d with a failed step, %d not finished; %d.%03d s with %d jobs\n' \
    "${#trains[@]}" "$failed" "$notrun" $((wall / 1000)) $((wall % 1000)) "$jobs"
} >"$out/summary.txt.part"
mv -f "$out/summary.txt.part" "$out/summary.txt"
cat "$out/summary.txt"

if [ $interrupts -gt 0 ]; then exit 130; fi
if [ $failed -gt 0 ] || [ $notrun -gt 0 ]; then exit 1; fi
exit 0
