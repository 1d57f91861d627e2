# Shared helpers of the packaging tests (sourced). Each test script takes the
# build tree as its first argument; build/packaging/programs.tsv lists the
# suite's programs this build has: kind, name, usage status, file to run,
# manual page source, options the usage text does not show.
set -uo pipefail

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
finish() {
  if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  echo "all checks passed"
  exit 0
}

scratch=$(mktemp -d /tmp/train_packaging_XXXXXX)
trap 'rm -rf "$scratch"' EXIT

# Reads programs.tsv into parallel arrays kinds, names, statuses, files,
# pages, extras.
load_programs() {
  local table=$1/packaging/programs.tsv kind name status file page extra
  kinds=() names=() statuses=() files=() pages=() extras=()
  [ -f "$table" ] || { fail "$table is missing"; return; }
  while IFS=$'\t' read -r kind name status file page extra; do
    kinds+=("$kind") names+=("$name") statuses+=("$status") files+=("$file")
    pages+=("$page") extras+=("$extra")
  done <"$table"
  [ ${#names[@]} -gt 0 ] || fail "$table lists no program"
}

# Runs a program without arguments; prints its status, and its output into
# $scratch/usage.out.
usage_status() {
  "$1" </dev/null >"$scratch/usage.out" 2>&1
  echo $?
}

# Checks an installed tree (a DESTDIR install or an unpacked package) with
# its prefix at $1/usr: programs in bin, companions in their own libexec
# folder only, manual pages, documents, and every program's usage.
check_installed_tree() {
  local root=$1/usr with_man=$2 i name got place
  for i in "${!names[@]}"; do
    name=${names[$i]}
    if [ "${kinds[$i]}" = companion ]; then
      place=$root/libexec/wayside-train-tools/$name
      [ -e "$root/bin/$name" ] && fail "companion $name is on the default PATH ($root/bin)"
    else
      place=$root/bin/$name
      if [ "$with_man" = ON ] && [ ! -s "$root/share/man/man1/$name.1.gz" ]; then
        fail "no manual page $name.1.gz installed"
      fi
    fi
    if [ ! -x "$place" ]; then
      fail "$name is not installed as $place"
      continue
    fi
    got=$(usage_status "$place")
    [ "$got" = "${statuses[$i]}" ] || fail "installed $name without arguments: status $got, not ${statuses[$i]}: $(head -c 300 "$scratch/usage.out")"
  done
  for doc in README.md Passengr.cfg; do
    [ -s "$root/share/doc/wayside-train-tools/$doc" ] || fail "$doc is not installed in share/doc"
  done
}
