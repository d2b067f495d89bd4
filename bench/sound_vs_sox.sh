#!/usr/bin/env bash
# 10 minutes of 44.1 kHz stereo 16-bit sound to 22.05 kHz mono 8-bit: our conversion chain
# (BM_ConvertTenMinutes, in memory) against sox doing the same on raw files in the same run.
# sox runs twice: with its default rate effect and with "rate -q" (quick, the nearest to our
# box average); its time is taken net of a pass-through run over the same files. All times
# are CPU time. Prints frames per second of source sound and the ratio ours / sox.
# Usage: bench/sound_vs_sox.sh   (BUILD=build/release by default)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build/release}
SOX=${SOX:-sox}

cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMETRA_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j2 --target bench_sound_assembly >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$SOX" -n -r 44100 -c 2 -b 16 -e signed-integer -t raw "$work/in.raw" synth 600 sine 440 sine 660
raw_in=(-t raw -r 44100 -c 2 -b 16 -e signed-integer)

# Best of three runs of a command, in CPU seconds (user + system): on a shared machine the
# wall clock measures the other users as much as the command.
best_seconds() {
  python3 - "$@" <<'PY'
import resource, subprocess, sys
best = None
for _ in range(3):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run(sys.argv[1:], check=True)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    t = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    best = t if best is None else min(best, t)
print(best)
PY
}

base=$(best_seconds "$SOX" "${raw_in[@]}" "$work/in.raw" -t raw "$work/copy.raw")
hq=$(best_seconds "$SOX" "${raw_in[@]}" "$work/in.raw" -t raw -r 22050 -c 1 -b 8 -e unsigned-integer "$work/out.raw")
quick=$(best_seconds "$SOX" "${raw_in[@]}" "$work/in.raw" -t raw -c 1 -b 8 -e unsigned-integer "$work/outq.raw" rate -q 22050)

"$BUILD/bench/bench_sound_assembly" --benchmark_filter=BM_ConvertTenMinutes \
  --benchmark_format=json --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
  >"$work/ours.json"

python3 - "$work/ours.json" "$base" "$hq" "$quick" <<'PY'
import json, sys
path, base, hq, quick = sys.argv[1], *map(float, sys.argv[2:])
frames = 600 * 44100
ours = next(b for b in json.load(open(path))["benchmarks"] if b.get("aggregate_name") == "median")
# CPU time of our run, as for sox (the benchmark reports both; its wall-clock rate is
# ours["Mframes/s"]).
mine = frames / (ours["cpu_time"] / 1e3) / 1e6
print(f"{'10 min 44.1k stereo 16 -> 22.05k mono 8':<44}{'Mframes/s':>10}{'ratio':>8}")
print(f"{'ours (channels, box average, width)':<44}{mine:10.1f}{1:8.2f}")
for name, t in (("sox, default rate", hq), ("sox, rate -q", quick)):
    net = max(t - base, 1e-9)
    gross, netr = frames / t / 1e6, frames / net / 1e6
    print(f"{name + ' (whole run)':<44}{gross:10.1f}{mine / gross:8.2f}")
    print(f"{name + ' (net of pass-through)':<44}{netr:10.1f}{mine / netr:8.2f}")
print(f"CPU seconds; sox pass-through of the raw file took {base:.3f} s, subtracted in the net rows (it writes 8x the bytes of the conversion, so the net rows favour sox); ratio = ours / sox")
PY
