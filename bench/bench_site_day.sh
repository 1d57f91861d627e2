#!/usr/bin/env bash
# Site-day throughput: makes <trains> trains of the demo's size with trainsim
# (the demo train under seeds 1, 2, 3 ...), then times scripts/site-day.sh
# over them with <jobs> jobs beside a plain sequential loop that runs the
# same steps one train after the other, and checks that both leave the same
# files. Reports trains per second for both.
#
#   bench/bench_site_day.sh [--bin=<program dir>] [<trains> [<jobs> [<work dir>]]]
#
# Defaults: 500 trains, as many jobs as cores, a scratch directory under
# /tmp (removed afterwards; a work directory given is kept). The tools save
# every file durably (fsync), so the disk's flush time weighs in: a work
# directory on a tmpfs such as /dev/shm shows the figure without it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd -P)
bin=$here/build/bin
case ${1-} in --bin=*) bin=$(cd "${1#--bin=}" && pwd -P); shift ;; esac
trains=${1:-500}
jobs=${2:-$(nproc 2>/dev/null || echo 2)}
if [ -n "${3-}" ]; then
  mkdir -p "$3"
  work=$(cd "$3" && pwd -P)
else
  work=$(mktemp -d /tmp/bench_site_day_XXXXXX)
  trap 'rm -rf "$work"' EXIT
fi
siteday=$here/scripts/site-day.sh
for program in trainsim edgemill; do
  [ -x "$bin/$program" ] || { echo "bench_site_day: $bin/$program is not built" >&2; exit 1; }
done


echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "making $trains trains in $work ..."
rm -rf "$work/made" "$work/loop" "$work/batch" "$work/reports"
mkdir "$work/made"
"$bin/trainsim" --sample >"$work/demo.train"
(cd "$work/made" && for ((i = 1; i <= trains; i++)); do
  "$bin/trainsim" "$work/demo.train" "$(printf '%08d' "$i")" --seed="$i" >/dev/null
done)
cp -a "$work/made" "$work/loop"
cp -a "$work/made" "$work/batch"
sync

mapfile -t steps < <("$siteday" --steps)
sequential_loop() {
  cd "$work/loop"
  for f in *.007; do
    base=${f%.007}
    for step in "${steps[@]}"; do
      read -r -a words <<<"${step//\{\}/$base}"
      [ -x "$bin/${words[0]}" ] || continue
      "$bin/${words[0]}" "${words[@]:1}" >/dev/null 2>&1 || true
    done
  done
}
# Wall time and the processor time of all the processes a run started (on a
# loaded machine the wall time tells little: the processor time over the
# number of cores is what an idle machine would take, flushes aside).
TIMEFORMAT='%R %U %S'
{ time (sequential_loop); } 2>"$work/loop.time"
{ time ("$siteday" --bin="$bin" --out="$work/reports" "$work/batch" "$jobs" >/dev/null || true); } 2>"$work/batch.time"
report() {
  read -r wall user sys <"$2"
  awk -v n="$trains" -v w="$wall" -v u="$user" -v s="$sys" -v label="$1" \
    'BEGIN { printf "%-24s %8.3f s wall, %6.1f trains/s; processor time %.3f s (user %.3f, system %.3f)\n", label, w, n / (w > 0 ? w : 1), u + s, u, s }'
}

. "$here/scripts/common.sh"
if same_train_dirs "$work/loop" "$work/batch" >/dev/null; then same=yes; else same=NO; fi
report "sequential loop:" "$work/loop.time"
report "site-day with $jobs jobs:" "$work/batch.time"
echo "same files: $same"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
[ "$same" = yes ]
