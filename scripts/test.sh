#!/usr/bin/env bash
# Builds the suite twice (plain, and with AddressSanitizer + UndefinedBehavior-
# Sanitizer) and runs every test under both, then builds the fuzz targets with
# clang and runs each for a short fixed number of executions (fuzz/run.sh).
# Installs missing build packages with apt-get when run as root on Debian.
set -euo pipefail
cd "$(dirname "$0")/.."

need=()
command -v g++ >/dev/null || need+=(g++)
command -v cmake >/dev/null || need+=(cmake)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
[ -f /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
command -v clang++ >/dev/null || need+=(clang)
ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || need+=(libclang-rt-14-dev)
if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
    apt-get update -qq && apt-get install -y -qq "${need[@]}"
  else
    echo "missing build packages: ${need[*]} (install them, or run this as root)" >&2
    exit 1
  fi
fi

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest -j"$jobs" --output-on-failure)

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTRAIN_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$jobs"
(cd build-asan && UBSAN_OPTIONS=print_stacktrace=1 ctest -j"$jobs" --output-on-failure)

# Fuzz smoke: every target from its seeds, 1000 executions each.
./fuzz/run.sh --runs=1000
