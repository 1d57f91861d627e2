#!/usr/bin/env bash
# The Debian package: built by CPack from the build tree, with the library
# dependencies of its programs, unpacked into a scratch root where every
# installed program's usage runs.
build=$1 with_man=$2
. "$(dirname "$0")/lib.sh"
load_programs "$build"

if ! (cd "$scratch" && cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/pkg") >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log" >&2
  fail "cpack -G DEB failed"
  finish
fi
debs=("$scratch"/pkg/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  fail "cpack made ${#debs[@]} packages, not one: ${debs[*]}"
  finish
fi
deb=${debs[0]}

[ "$(dpkg-deb -f "$deb" Package)" = wayside-train-tools ] || fail "package name: $(dpkg-deb -f "$deb" Package)"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 libgcc-s1; do
  [[ $depends =~ (^|, )"$lib"( |,|$) ]] || fail "Depends lacks $lib: $depends"
done
# Every path in the package lies under /usr.
outside=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v -e '^\./$' -e '^\./usr/' || true)
[ -z "$outside" ] || fail "package paths outside /usr: $outside"

root=$scratch/root
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x failed"
check_installed_tree "$root" "$with_man"
finish
