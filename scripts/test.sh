#!/usr/bin/env bash
# Builds everything under AddressSanitizer and UndefinedBehaviorSanitizer and runs every test;
# then builds the concurrency tests under ThreadSanitizer and runs them.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
      -DLUMETRA_SANITIZE=ON -DLUMETRA_WERROR=ON >/dev/null
cmake --build build/test
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1
ctest --test-dir build/test --output-on-failure -j "$(nproc)"

# ThreadSanitizer: only the programs of the tests labelled "concurrency".
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
      -DCMAKE_C_FLAGS_DEBUG="-O1 -g" -DLUMETRA_SANITIZE=thread -DLUMETRA_BENCH=OFF \
      -DLUMETRA_WERROR=ON >/dev/null
cmake --build build/tsan --target concurrency_tests
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build/tsan -L concurrency --output-on-failure -j "$(nproc)"
