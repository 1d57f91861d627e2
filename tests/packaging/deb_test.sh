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
[[ $depends =~ (^|, )libc6( |,|$) ]] || fail "Depends lacks libc6: $depends"
# Every path in the package lies under /usr.
outside=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v -e '^\./$' -e '^\./usr/' || true)
[ -z "$outside" ] || fail "package paths outside /usr: $outside"

root=$scratch/root
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x failed"
check_installed_tree "$root" "$with_man"
# Every shared library an installed program loads comes from a dependency
# (the programs carry the C++ runtime inside them; a build that does not
# needs libstdc++6 and libgcc-s1 in Depends).
needed=$(for f in "$root"/usr/bin/* "$root"/usr/libexec/*/*; do
  [ -f "$f" ] && objdump -p "$f" 2>/dev/null | awk '$1 == "NEEDED" {print $2}'
done | sort -u)
for so in $needed; do
  case $so in
    libc.so.*|libm.so.*|ld-linux*) lib=libc6 ;;
    libstdc++.so.*) lib=libstdc++6 ;;
    libgcc_s.so.*) lib=libgcc-s1 ;;
    *) lib="" ;;
  esac
  [ -z "$lib" ] || [[ $depends =~ (^|, )"$lib"( |,|$) ]] || fail "programs load $so but Depends lacks $lib: $depends"
done
finish
