#!/usr/bin/env bash
# Builds lumetra with the standard libraries and renders the shipped example project to PNG
# frames and an MP4 movie under a folder it prints (LUMETRA_EXAMPLE_OUT names another one).
# Arguments, when given, go to lumetra as they are.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/example -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMETRA_TESTS=OFF \
      -DLUMETRA_BENCH=OFF >/dev/null
cmake --build build/example --target lumetra Effects Formats >&2
lumetra=build/example/src/app/lumetra
if [ "$#" -gt 0 ]; then
  exec "$lumetra" "$@"
fi
out=${LUMETRA_EXAMPLE_OUT:-$PWD/build/example-output}
mkdir -p "$out"
"$lumetra" --render "$out/frames/demo####.png" examples/demo.ZTP
"$lumetra" --render "$out/demo.mp4" examples/demo.ZTP
echo "Rendered examples/demo.ZTP to $out: frames/demo0000.png ... and demo.mp4"
