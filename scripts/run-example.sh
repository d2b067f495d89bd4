#!/usr/bin/env bash
# Builds lumetra and the standard effects library and runs lumetra headless on the shipped example project: without arguments it
# loads examples/demo.ZTP and prints its description as JSON; arguments go to lumetra as given.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMETRA_TESTS=OFF \
      -DLUMETRA_BENCH=OFF >/dev/null
cmake --build build/release --target lumetra Effects >&2
if [ "$#" -eq 0 ]; then
  set -- --info examples/demo.ZTP
fi
build/release/src/app/lumetra "$@"
