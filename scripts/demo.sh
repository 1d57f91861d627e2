#!/usr/bin/env bash
# Builds the suite and runs the main job on the bundled sample train in a
# scratch directory, printing each report.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs" >/dev/null
bin="$PWD/build/bin"
work=$(mktemp -d /tmp/traindemo_XXXXXX)
cp samples/* "$work/"
cd "$work"
set +e
echo "== edgemill 00008901   (in $work)"
"$bin/edgemill" 00008901
echo "(exit status $?)"
echo "== Trimwell 00008901 /OP1 /OP2 /OP3   (in $work)"
"$bin/Trimwell" 00008901 /OP1 /OP2 /OP3
echo "(exit status $?)"
