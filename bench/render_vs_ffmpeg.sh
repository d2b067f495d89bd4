#!/usr/bin/env bash
# Offline rendering speed, beside ffmpeg writing 250 PNG frames of its test source at
# 720x576 in the same run: 250 frames through the render session to a null format (Google
# Benchmark, 720x576 and 1920x1080), and the real "lumetra --render" of the example project
# to PNG frames on one thread and on every processor. Each timed command runs REPEAT times;
# the medians are printed as frames per second, with the ratio to ffmpeg.
# Usage: bench/render_vs_ffmpeg.sh   (BUILD=build/bench, REPEAT=3 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build/bench}
FFMPEG=${FFMPEG:-ffmpeg}
REPEAT=${REPEAT:-3}
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMETRA_TESTS=OFF >/dev/null
fi
cmake --build "$BUILD" -j2 --target bench_render_output lumetra Effects Formats >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$BUILD/bench/bench_render_output" --benchmark_format=json --benchmark_repetitions="$REPEAT" \
  --benchmark_report_aggregates_only=true >"$work/ours.json"
project=$PWD/examples/demo.ZTP
lumetra=$PWD/$BUILD/src/app/lumetra
all=$(nproc)
# One line per run: the label, the frames it wrote, its start and end.
timed() {
  local label=$1
  shift
  rm -rf "$work/out"
  mkdir -p "$work/out"
  local start end
  start=$(date +%s.%N)
  (cd "$work/out" && "$@")
  end=$(date +%s.%N)
  echo "$label|$(find "$work/out" -type f -name '*.png' | wc -l)|$start|$end" >>"$work/times"
}
for _ in $(seq "$REPEAT"); do
  timed "ffmpeg testsrc 720x576 -> 250 PNG" \
    "$FFMPEG" -v error -nostdin -f lavfi -i testsrc=s=720x576:r=25 -frames:v 250 o%04d.png
  timed "lumetra --render demo -> PNG, 1 thread" \
    "$lumetra" --render f/d####.png "$project" --threads 1 --quiet
  timed "lumetra --render demo -> PNG, $all threads" \
    "$lumetra" --render f/d####.png "$project" --threads "$all" --quiet
done
python3 - "$work/ours.json" "$work/times" <<'PY'
import json, statistics, sys
runs = json.load(open(sys.argv[1]))["benchmarks"]
timed = {}
for line in open(sys.argv[2]):
    label, count, start, end = line.rstrip("\n").split("|")
    timed.setdefault(label, []).append(int(count) / (float(end) - float(start)))
labels = list(timed)
ff = statistics.median(timed[labels[0]])
print(f"{'case (median frames/s)':<48}{'frames/s':>10}{'vs ffmpeg png':>15}")
for label in labels:
    fps = statistics.median(timed[label])
    print(f"{label:<48}{fps:>10.1f}{fps / ff:>15.2f}")
for r in runs:
    if r.get("aggregate_name") != "median": continue
    fps = r["items_per_second"]
    print(f"{r['run_name']:<48}{fps:>10.1f}{fps / ff:>15.2f}")
PY
