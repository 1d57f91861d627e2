#!/usr/bin/env bash
# Builds the suite twice (plain, and with AddressSanitizer + UndefinedBehavior-
# Sanitizer) and runs every test under both, the packaging tests among them
# (install tree, Debian package, manual pages, site-day batch), then builds
# the fuzz targets with clang and runs each for a short fixed number of
# executions (fuzz/run.sh). Uses Ninja when it is installed. Installs missing
# build packages with apt-get when run as root on Debian.
set -euo pipefail
cd "$(dirname "$0")/.."

. scripts/common.sh

need=()
command -v g++ >/dev/null || need+=(g++)
command -v cmake >/dev/null || need+=(cmake)
command -v ninja >/dev/null || command -v make >/dev/null || need+=(make)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
command -v scdoc >/dev/null || need+=(scdoc)                   # manual pages
command -v dpkg-shlibdeps >/dev/null || need+=(dpkg-dev)       # the package's dependencies
[ -f /usr/include/nlohmann/json.hpp ] || need+=(nlohmann-json3-dev)
command -v clang++ >/dev/null || need+=(clang)                 # fuzz targets
ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || need+=(libclang-rt-14-dev)
install_missing "${need[@]}"

jobs=$(nproc 2>/dev/null || echo 2)
configure_tree build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest -j"$jobs" --output-on-failure)

configure_tree build-asan -DCMAKE_BUILD_TYPE=Debug -DTRAIN_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$jobs"
(cd build-asan && UBSAN_OPTIONS=print_stacktrace=1 ctest -j"$jobs" --output-on-failure)

# Fuzz smoke: every target from its seeds, 1000 executions each.
./fuzz/run.sh --runs=1000
