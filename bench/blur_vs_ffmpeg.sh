#!/usr/bin/env bash
# Tent blur against ffmpeg's boxblur (luma_power 2, a tent-like double box) and gblur,
# both single-threaded, on frames of the same size, and beside bench_blur_kernels's own
# peers (memcpy, OpenCV sepFilter2D and cv::blur) from the same run. Prints megapixels
# per second and the ratios; medians of the repetitions.
# Usage: bench/blur_vs_ffmpeg.sh [frames] [repetitions]
# BUILD=build/release by default; a tree that is already configured keeps its options.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build/release}
FRAMES=${1:-50}
REPS=${2:-5}
FFMPEG=${FFMPEG:-/usr/bin/ffmpeg}

if [[ ! -f "$BUILD/CMakeCache.txt" ]]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$BUILD" -j2 --target bench_blur_kernels >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Processor seconds of ffmpeg pushing FRAMES copies of the frame $1 (WxH) through the
# graph $2, median of REPS runs (the machine may be shared: waits are not counted).
ffmpeg_seconds() {
  local runs=()
  for ((k = 0; k < REPS; ++k)); do
    /usr/bin/time -f "%U %S" -o "$work/time" "$FFMPEG" -v error -nostdin -threads 1 \
      -filter_threads 1 -stream_loop $((FRAMES - 1)) -f rawvideo -pix_fmt bgra -s "$1" \
      -i "$work/$1.raw" -vf "$2" -f null -
    runs+=("$(awk '{print $1 + $2}' "$work/time")")
  done
  printf '%s\n' "${runs[@]}" | sort -g | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'
}

"$BUILD/bench/bench_blur_kernels" --benchmark_format=json --benchmark_repetitions="$REPS" \
  --benchmark_report_aggregates_only=true >"$work/ours.json" 2>"$work/ours.err" ||
  { cat "$work/ours.err" >&2; exit 1; }
grep -i opencv "$work/ours.err" >&2 || true

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
rate = {}
for b in json.load(open(path))["benchmarks"]:
    if b.get("aggregate_name") == "median":
        rate[b["run_name"].replace("/real_time", "")] = b["Mpix/s"]
def get(name):
    return rate.get(name, float("nan"))
print(f"{'size':<10}{'r':>4}{'tent1T':>8}{'tentN':>8}{'sep1T':>8}{'sepN':>8}{'cvblur1T':>9}"
      f"{'box1T':>8}{'gblur1T':>8}{'memcpy':>8}"
      f"{'t/sep1T':>8}{'t/sepN':>8}{'t/cvblur':>9}{'t/box':>7}{'t/gblur':>8}{'memcpy/t':>9}")
for row in rows:
    size, r, base, box, gauss = row.split()
    w, h = map(int, size.split("x"))
    mpix = frames * w * h / 1e6
    ff = lambda t: mpix / max(float(t) - float(base), 1e-9)
    key = lambda bench, t: f"{bench}/w:{w}/h:{h}/r:{r}/threads:{t}"
    t1, tn = get(key("BM_TentBlur", 1)), get(key("BM_TentBlur", 0))
    s1, sn = get(key("BM_CvSepFilter2D", 1)), get(key("BM_CvSepFilter2D", 0))
    b1 = get(key("BM_CvBlur", 1))
    mc = get(f"BM_Memcpy/w:{w}/h:{h}")
    fb, fg = ff(box), ff(gauss)
    print(f"{size:<10}{r:>4}{t1:8.1f}{tn:8.1f}{s1:8.1f}{sn:8.1f}{b1:9.1f}{fb:8.1f}{fg:8.1f}{mc:8.0f}"
          f"{t1 / s1:8.2f}{tn / sn:8.2f}{t1 / b1:9.2f}{t1 / fb:7.2f}{t1 / fg:8.2f}{mc / t1:9.1f}")
print("Mpix/s. 1T: one thread, timed by processor time; N: all threads, by the clock.")
print("ffmpeg: processor time net of a run without the filter. Ratios: tent over peer,")
print("except memcpy/t: how many times slower than a memcpy of the frame the tent is.")
PY
