#!/usr/bin/env bash
# Mix, Copy and Paste kernels against ffmpeg's blend filter in the matching modes on the
# same 1080p frames, one thread and all threads, and beside a memcpy of the frame. Our
# numbers come from bench_compositing_kernels in the same run; ffmpeg's from -benchmark,
# net of a run that reads the same inputs without the filter; every figure is the median of
# REPS runs. One thread is rated by processor time, all threads by real time, so that a
# shared machine's waits count only where the threads' overlap is the point. Prints Mpix/s
# and ratios.
# Usage: bench/compositing_vs_ffmpeg.sh [frames]   (BUILD=build/bench by default: a release
# build without tests of its own, so that build/release keeps the options it was made with)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build/bench}
FRAMES=${1:-60}
REPS=${REPS:-3}
FFMPEG=${FFMPEG:-/usr/bin/ffmpeg}
ALL=$(nproc)
SIZE=1920x1080

cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMETRA_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j2 --target bench_compositing_kernels >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Planar GBRA frames: blend works on planes, so ffmpeg converts nothing.
"$FFMPEG" -v error -f lavfi -i "testsrc2=size=$SIZE:rate=25" -frames:v 1 -pix_fmt gbrap \
  -f rawvideo "$work/a.raw"
"$FFMPEG" -v error -f lavfi -i "mandelbrot=size=$SIZE:rate=25" -frames:v 1 -pix_fmt gbrap \
  -f rawvideo "$work/b.raw"

# ffmpeg's seconds for FRAMES frame pairs through graph $2 with $1 threads: the medians of
# REPS runs of its real time and of its processor time (user + system).
ffmpeg_seconds() {
  local input=(-stream_loop $((FRAMES - 1)) -f rawvideo -pix_fmt gbrap -s "$SIZE")
  for _ in $(seq "$REPS"); do
    "$FFMPEG" -hide_banner -nostdin -benchmark -threads "$1" -filter_threads "$1" \
      "${input[@]}" -i "$work/a.raw" "${input[@]}" -i "$work/b.raw" \
      -filter_complex "$2" -f null - 2>&1 |
      sed -n 's/.*utime=\([0-9.]*\)s stime=\([0-9.]*\)s rtime=\([0-9.]*\)s.*/\3 \1 \2/p' | tail -1
  done | python3 -c '
import statistics, sys
runs = [[float(v) for v in line.split()] for line in sys.stdin if line.strip()]
print(statistics.median(r[0] for r in runs), statistics.median(r[1] + r[2] for r in runs))'
}

"$BUILD/bench/bench_compositing_kernels" --benchmark_format=json --benchmark_repetitions="$REPS" \
  --benchmark_report_aggregates_only=true >"$work/ours.json" 2>/dev/null

rows=()
for threads in 1 "$ALL"; do
  base=$(ffmpeg_seconds "$threads" "[1]nullsink;[0]null")
  for mode in normal multiply screen lighten darken difference overlay; do
    rows+=("$threads $mode $base $(ffmpeg_seconds "$threads" "[0][1]blend=all_mode=$mode")")
  done
  rows+=("$threads mix $base $(ffmpeg_seconds "$threads" "[0][1]blend=all_mode=normal:all_opacity=0.5")")
done

python3 - "$work/ours.json" "$FRAMES" "$ALL" "$REPS" "${rows[@]}" <<'PY'
import json, sys
path, frames, all_threads, reps = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
rows = sys.argv[5:]
ours = {}
for b in json.load(open(path))["benchmarks"]:
    if b.get("aggregate_name") == "median":
        scale = {"ms": 1e-3, "us": 1e-6, "ns": 1e-9, "s": 1.0}[b["time_unit"]]
        ours[b["run_name"]] = (1920 * 1080 / 1e6 / (b["real_time"] * scale),
                               1920 * 1080 / 1e6 / (b["cpu_time"] * scale))
memcpy = ours["BM_Memcpy/real_time"][1]
paste = {"normal": 0, "multiply": 1, "screen": 2, "lighten": 3, "darken": 4,
         "difference": 5, "test6": 6, "combine": 7, "heavy": 8, "subscreen": 9, "test7": 10,
         "overlay": 11}
mpix = frames * 1920 * 1080 / 1e6
peer = {}
for row in rows:
    threads, mode, base_r, base_c, t_r, t_c = row.split()
    peer[(threads, mode)] = (mpix / max(float(t_r) - float(base_r), 1e-9),
                             mpix / max(float(t_c) - float(base_c), 1e-9))

def ours_of(name, threads):
    t = "1" if threads == "1" else "0"
    if name == "mix":
        return ours[f"BM_Mix/threads:{t}/real_time"]
    if name == "copy":
        return ours[f"BM_Copy/threads:{t}/real_time"]
    return ours[f"BM_Paste/threads:{t}/mode:{paste[name]}/real_time"]

print(f"memcpy of the 1080p frame: {memcpy:.0f} Mpix/s (one thread, processor time); "
      f"medians of {reps} runs")
print(f"{'kernel':<18}{'1T':>8}{'all':>8}{'ffmpeg 1T':>11}{'ffmpeg all':>12}"
      f"{'x ff 1T':>9}{'x ff all':>10}{'/memcpy':>9}{'all/memcpy':>11}")
for name in ["copy", "mix"] + list(paste):  # Paste modes without an ffmpeg peer show '-'.
    label = {"copy": "Copy", "mix": "Mix 50%"}.get(name, f"Paste {name}")
    one, many = ours_of(name, "1")[1], ours_of(name, all_threads)[0]
    line = f"{label:<18}{one:8.0f}{many:8.0f}"
    if (("1", name) in peer):
        f1, fa = peer[("1", name)][1], peer[(all_threads, name)][0]
        line += f"{f1:11.0f}{fa:12.0f}{one / f1:9.2f}{many / fa:10.2f}"
    else:
        line += f"{'-':>11}{'-':>12}{'-':>9}{'-':>10}"
    line += f"{memcpy / one:9.2f}{memcpy / many:11.2f}"
    print(line)
print(f"Mpix/s at 1920x1080; 1T by processor time, 'all' ({all_threads} threads) by real time; x ff: ours / ffmpeg blend in the "
      "same mode (Mix: normal at opacity 0.5); /memcpy and all/memcpy: our one-thread and "
      "all-thread time over a one-thread memcpy's (goal <= 2 for Copy and Mix).")
PY
