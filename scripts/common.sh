# Sourced by the scripts: installs missing Debian packages, configures build
# trees and compares train directories.

# Installs the Debian packages named (the missing ones the caller found) with
# apt-get when run as root; otherwise names them and stops.
install_missing() {
  [ $# -gt 0 ] || return 0
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
    apt-get update -qq && apt-get install -y -qq "$@" >/dev/null
  else
    echo "missing build packages: $* (install them, or run this as root)" >&2
    exit 1
  fi
}

# configure_tree <build dir> <cmake options...>: a new tree uses Ninja when
# it is installed; a tree configured before keeps its generator.
configure_tree() {
  local dir=$1
  shift
  local generator=()
  if [ ! -f "$dir/CMakeCache.txt" ] && command -v ninja >/dev/null; then
    generator=(-G Ninja)
  fi
  cmake -S . -B "$dir" "${generator[@]}" "$@"
}

# same_train_dirs <dir> <dir>: whether two directories of trains hold the same
# files with the same bytes; prints the names that differ. A .071 carries the
# time it was written (header bytes 8-15), which two runs cannot share.
same_train_dirs() {
  local a=$1 b=$2 f g same=0
  if [ "$(ls -A "$a")" != "$(ls -A "$b")" ]; then
    diff <(ls -A "$a") <(ls -A "$b")
    return 1
  fi
  for f in "$a"/*; do
    g=$b/${f##*/}
    [ -f "$f" ] || continue
    case $f in
      *.071) cmp -s -n 8 "$f" "$g" && cmp -s -i 16 "$f" "$g" ;;
      *) cmp -s "$f" "$g" ;;
    esac || { echo "${f##*/} differs"; same=1; }
  done
  return $same
}
