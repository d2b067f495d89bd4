#!/usr/bin/env bash
# Tent blur against ffmpeg's boxblur (luma_power 2, a tent-like double box) and gblur,
# both single-threaded, on frames of the same size; our numbers come from
# bench_blur_kernels in the same run. Prints megapixels per second and the ratios.
# Usage: bench/blur_vs_ffmpeg.sh [frames]   (BUILD=build/release by default)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build/release}
FRAMES=${1:-50}
FFMPEG=${FFMPEG:-/usr/bin/ffmpeg}

cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMETRA_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j2 --target bench_blur_kernels >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Seconds for ffmpeg to push FRAMES copies of the frame $1 (WxH) through the graph $2.
ffmpeg_seconds() {
  local start end
  start=$(date +%s.%N)
  "$FFMPEG" -v error -nostdin -threads 1 -filter_threads 1 -stream_loop $((FRAMES - 1)) \
    -f rawvideo -pix_fmt bgra -s "$1" -i "$work/$1.raw" -vf "$2" -f null -
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}

"$BUILD/bench/bench_blur_kernels" --benchmark_filter='BM_TentBlur/' \
  --benchmark_format=json --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
  >"$work/ours.json" 2>/dev/null

rows=()
for size in 1920x1080 720x576; do
  "$FFMPEG" -v error -f lavfi -i "testsrc2=size=$size:rate=25" -frames:v 1 -pix_fmt bgra \
    -f rawvideo "$work/$size.raw"
  base=$(ffmpeg_seconds "$size" null)
  for r in 2 3 27 100; do
    # boxblur's radius is bounded by the plane: min(w, h) / 2 for luma and alpha.
    box=$(ffmpeg_seconds "$size" "boxblur=luma_radius=min($r\\,h/2):luma_power=2:alpha_radius=min($r\\,h/2):alpha_power=2")
    gauss=$(ffmpeg_seconds "$size" "gblur=sigma=$(echo "$r / 2" | bc -l):planes=15")
    rows+=("$size $r $base $box $gauss")
  done
done

python3 - "$work/ours.json" "$FRAMES" "${rows[@]}" <<'PY'
import json, sys
path, frames, rows = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
ours = {}
for b in json.load(open(path))["benchmarks"]:
    if b.get("aggregate_name") == "median":
        ours[b["run_name"]] = b["Mpix/s"]
print(f"{'size':<11}{'r':>4}{'tent 1T':>10}{'boxblur':>10}{'gblur':>10}{'tent/box':>10}{'tent/gblur':>12}")
for row in rows:
    size, r, base, box, gauss = row.split()
    w, h = map(int, size.split("x"))
    mpix = frames * w * h / 1e6
    rate = lambda t: mpix / max(float(t) - float(base), 1e-9)
    mine = ours[f"BM_TentBlur/w:{w}/h:{h}/r:{r}/threads:1/real_time"]
    print(f"{size:<11}{r:>4}{mine:10.1f}{rate(box):10.1f}{rate(gauss):10.1f}"
          f"{mine / rate(box):10.2f}{mine / rate(gauss):12.2f}")
print("Mpix/s, one thread; ffmpeg's time net of a run without the filter.")
PY
