# Sourced by the build scripts: installs missing Debian packages and
# configures build trees.

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
