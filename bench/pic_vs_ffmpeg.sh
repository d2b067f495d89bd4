#!/usr/bin/env bash
# Nearest-neighbour scaling of a 1920x1080 BGRA frame: our PicScale (Google Benchmark)
# against ffmpeg's scale filter with flags=neighbor in the same run, plus a memcpy of the
# frame as the floor. Prints megapixels per second (destination pixels) and the ratio.
# Usage: bench/pic_vs_ffmpeg.sh [frames]   (BUILD=build/rel by default)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build/rel}
FRAMES=${1:-200}
FFMPEG=${FFMPEG:-/usr/bin/ffmpeg}

cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMETRA_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j2 --target bench_pic_ops >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$FFMPEG" -v error -f lavfi -i testsrc2=size=1920x1080:rate=25 -frames:v 1 -pix_fmt bgra \
  -f rawvideo "$work/frame.raw"

# Seconds for ffmpeg to push FRAMES copies of the frame through the filter graph $1.
ffmpeg_seconds() {
  local start end
  start=$(date +%s.%N)
  "$FFMPEG" -v error -nostdin -threads 1 -filter_threads 1 -stream_loop $((FRAMES - 1)) \
    -f rawvideo -pix_fmt bgra -s 1920x1080 -i "$work/frame.raw" -vf "$1" -f null - 
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}

"$BUILD/bench/bench_pic_ops" --benchmark_filter='BM_Memcpy|BM_PicScale' \
  --benchmark_format=json --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
  >"$work/ours.json"
base=$(ffmpeg_seconds null)
small=$(ffmpeg_seconds scale=1280:720:flags=neighbor)
large=$(ffmpeg_seconds scale=2560:1440:flags=neighbor)

python3 - "$work/ours.json" "$FRAMES" "$base" "$small" "$large" <<'PY'
import json, sys
path, frames, base, small, large = sys.argv[1], int(sys.argv[2]), *map(float, sys.argv[3:])
ours = {}
for b in json.load(open(path))["benchmarks"]:
    if b.get("aggregate_name") == "median":
        ours[b["run_name"]] = b["Mpix/s"]
def mine(threads, w, h):
    return ours[f"BM_PicScale/threads:{threads}/w:{w}/h:{h}/real_time"]
print(f"memcpy of the 1920x1080 frame (floor): {ours['BM_Memcpy']:10.1f} Mpix/s")
print(f"ffmpeg decode+loop without scaling:    {frames * 1920 * 1080 / base / 1e6:10.1f} Mpix/s"
      f"  ({base / frames * 1e3:.2f} ms/frame, subtracted below)")
print(f"{'1920x1080 ->':<14}{'PicScale 1T':>12}{'PicScale 2T':>12}{'ffmpeg':>12}{'ffmpeg raw':>12}"
      f"{'ratio 1T':>10}{'ratio 2T':>10}")
for (w, h), t in (((1280, 720), small), ((2560, 1440), large)):
    pixels = frames * w * h / 1e6
    net = max(t - base, 1e-9)
    ff, raw = pixels / net, pixels / t
    one, two = mine(1, w, h), mine(2, w, h)
    print(f"{f'{w}x{h}':<14}{one:12.1f}{two:12.1f}{ff:12.1f}{raw:12.1f}{one / ff:10.2f}{two / ff:10.2f}")
print("Mpix/s of destination pixels; ffmpeg single-threaded, its time net of the run without "
      "scaling ('raw' includes it); ratio = ours / ffmpeg net.")
PY
