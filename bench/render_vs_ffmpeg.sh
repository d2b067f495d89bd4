#!/usr/bin/env bash
# Offline rendering speed: 250 frames through the render session to a null format (Google
# Benchmark, 720x576 and 1920x1080) beside ffmpeg writing 250 PNG frames of its test source
# at 720x576 in the same run; prints frames per second and the ratio.
# Usage: bench/render_vs_ffmpeg.sh   (BUILD=build/release by default)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build/release}
FFMPEG=${FFMPEG:-ffmpeg}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMETRA_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j2 --target bench_render_output >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$BUILD/bench/bench_render_output" --benchmark_format=json --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true >"$work/ours.json"
start=$(date +%s.%N)
(cd "$work" && "$FFMPEG" -v error -nostdin -f lavfi -i testsrc=s=720x576:r=25 -frames:v 250 o%04d.png)
end=$(date +%s.%N)
python3 - "$work/ours.json" "$start" "$end" <<'PY'
import json, sys
runs = json.load(open(sys.argv[1]))["benchmarks"]
ff = 250 / (float(sys.argv[3]) - float(sys.argv[2]))
print(f"{'case':<44}{'frames/s':>10}{'vs ffmpeg png':>15}")
print(f"{'ffmpeg testsrc 720x576 -> 250 PNG':<44}{ff:>10.1f}{1.0:>15.2f}")
for r in runs:
    if r.get("aggregate_name") != "median": continue
    fps = r["items_per_second"]
    print(f"{r['run_name']:<44}{fps:>10.1f}{fps / ff:>15.2f}")
PY
