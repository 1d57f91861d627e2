#!/usr/bin/env bash
# cmake --install into a scratch root (DESTDIR): the tree it lays out, every
# installed program's usage, and the installed site-day batch running the
# installed tools on a simulated train.
build=$1 with_man=$2
. "$(dirname "$0")/lib.sh"
load_programs "$build"

root=$scratch/root
if ! DESTDIR=$root cmake --install "$build" --prefix /usr >"$scratch/install.log" 2>&1; then
  cat "$scratch/install.log" >&2
  fail "cmake --install failed"
  finish
fi
check_installed_tree "$root" "$with_man"
[ "$(ls -A "$root")" = usr ] || fail "files installed outside the prefix: $(ls -A "$root")"

# The installed batch finds the installed programs beside itself.
bin=$root/usr/bin
if [ -x "$bin/train-site-day" ] && [ -x "$bin/trainsim" ] && [ -x "$bin/edgemill" ]; then
  mkdir "$scratch/day"
  (cd "$scratch/day" && "$bin/trainsim" --sample >demo.train && "$bin/trainsim" demo.train 00008901 >/dev/null && rm demo.train) ||
    fail "installed trainsim could not make the demo train"
  env -u TRAIN_BIN PATH=/usr/bin:/bin "$bin/train-site-day" "$scratch/day" 1 >"$scratch/day.out" 2>&1
  status=$?
  # 1: a step of the pipeline failed on the train, which is the tools' say.
  [ "$status" = 0 ] || [ "$status" = 1 ] || fail "installed train-site-day: status $status: $(cat "$scratch/day.out")"
  grep -q "^== edgemill 00008901 /p" "$scratch/day/site-day/00008901.report" 2>/dev/null &&
    grep -qE '^00008901 +0 ' "$scratch/day/site-day/summary.txt" ||
    fail "installed train-site-day did not run the installed edgemill: $(cat "$scratch/day.out")"
fi
finish
