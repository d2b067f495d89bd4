#!/usr/bin/env bash
# Builds lumetra and runs it headless on the shipped example project.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMETRA_TESTS=OFF \
      -DLUMETRA_BENCH=OFF >/dev/null
cmake --build build/release --target lumetra
build/release/src/app/lumetra "$@"
