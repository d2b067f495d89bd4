#!/usr/bin/env bash
# Farm rendering on a live SLURM cluster (scripts/slurm-cluster.sh start brings up a one-node
# one). Usage: farm_cluster_test.sh CASE LUMETRA PROJECT FAKE_RENDER
#   CASE fake-submit | fake-resume   tasks render through FAKE_RENDER (the cluster path)
#        render-submit | render-resume  tasks run "lumetra --render" on PROJECT
#        render-movie   the same, into a movie the join assembles
# submit: 20 frames in chunks of 5 through "farm submit"; the joined manifest must equal the
#   manifest of a plain render of the same frames.
# resume: one array task fails part way through its chunk; "farm status" must report failed
#   frames, "farm resume" must complete the set, and no frame may be rendered twice. The fake
#   renderer takes a second a frame, so its task is cancelled while it renders; the real one
#   renders a chunk faster than any watcher could cancel it, so a dangling link planted at
#   one of its frames (which the frame writer refuses to follow) fails that frame instead.
# movie: the 20 frames into out/film.mp4 through "farm submit"; the frames' manifest must
#   equal a plain render's, and the movie must read back through the movie reader with 20
#   frames of the frames' size and a sound track; nothing but the movie is left in out/.
# Exits 77 (skipped) when there is no cluster or no "--render" to run.
set -euo pipefail
case_name=$1 lumetra=$2 project=$3 fake=$4
skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*" >&2; exit 1; }

command -v sbatch >/dev/null || skip "sbatch is not installed (scripts/slurm-cluster.sh start installs a one-node cluster)"
squeue -h >/dev/null 2>&1 || skip "no SLURM cluster answers (scripts/slurm-cluster.sh start, then export SLURM_CONF as it prints)"
sinfo -h -o %T 2>/dev/null | grep -qE '^(idle|mixed|allocated)' || skip "the cluster has no usable node"
mode=${case_name%%-*} test=${case_name#*-}
if [ "$mode" = render ]; then
  "$lumetra" --help 2>&1 | grep -q -- '--render' ||
    skip "this lumetra has no --render yet: the farm renders through it"
fi

dir=$(mktemp -d "${TMPDIR:-/tmp}/lumetra-farm-test.XXXXXX")
trap '[ -n "${KEEP:-}" ] || rm -rf "$dir"' EXIT
mkdir -p "$dir/out" "$dir/plain"
export LUMETRA_FAKE_RENDER_LOG=$dir/rendered.txt XDG_CONFIG_HOME=$dir/config
renderer=("$lumetra")
if [ "$mode" = fake ]; then
  export LUMETRA_REAL=$lumetra LUMETRA_FARM_PROGRAM=$fake
  renderer=("$fake")
fi
[ "$test" = resume ] && export LUMETRA_FAKE_FRAME_DELAY=${LUMETRA_FAKE_FRAME_DELAY:-1}
farm=$dir/farm

state() { sed -n "s/^$1=//p" "$farm/farm.ini"; }
# Bounded waits: a cluster that never runs the jobs fails the test instead of hanging it.
wait_gone() {
  for _ in $(seq 1 600); do
    [ -z "$(squeue -h -r -j "$1" -o %i 2>/dev/null)" ] && return 0
    sleep 1
  done
  fail "jobs $1 still queued after 600 s"
}
# Basename and hash of each line, sorted: the two renders write to different folders.
normal() { awk '{ n = $1; sub(/.*\//, "", n); print n, $NF }' "$1" | sort; }

target="$dir/out/frame####.png" plain="$dir/plain/frame####.png"
# A movie's frames are named for it in the farm folder: the plain render names them alike.
[ "$test" = movie ] && target="$dir/out/film.mp4" plain="$dir/plain/film.####.png"
[ "$case_name" = render-resume ] && ln -s "$dir/nowhere/frame0008.png" "$dir/out/frame0008.png"
"$lumetra" farm submit "$project" "$target" --frames 0-19 --chunk 5 \
  --farm-dir "$farm" || fail "farm submit"
array=$(state array_jobs) join=$(state join_job)
[ -n "$array" ] && [ -n "$join" ] || fail "no job ids in farm.ini"

if [ "$test" = resume ]; then
  if [ "$mode" = fake ]; then
    # Cancel task 1 once it has written a frame of its chunk (5-9) and is working on more.
    for _ in $(seq 1 300); do
      [ -e "$dir/out/frame0005.png" ] && break
      sleep 0.2
    done
    [ -e "$dir/out/frame0005.png" ] || fail "task 1 never wrote a frame"
    scancel "${array}_1"
    wait_gone "$array"
    [ ! -e "$dir/out/frame0009.png" ] || fail "task 1 finished before it was cancelled"
  else
    wait_gone "$array"
    [ -e "$dir/out/frame0007.png" ] || fail "task 1 stopped before the frame it could not write"
    rm "$dir/out/frame0008.png"
  fi
  status=$("$lumetra" farm status "$farm" --json)
  echo "$status"
  grep -q '"failed":0,' <<<"$status" && fail "status shows no failed frame after scancel"
  before=$(cd "$dir/out" && stat -c '%n %i %Y' frame*.png)
  "$lumetra" farm resume "$farm" || fail "farm resume"
  array=$(state array_jobs) join=$(state join_job)
  array=${array##* }
fi

wait_gone "$array,$join"
if [ "$test" = resume ]; then
  # Frames present before the resume are the same files, never written again.
  after=$(cd "$dir/out" && stat -c '%n %i %Y' frame*.png)
  while read -r line; do
    grep -qxF "$line" <<<"$after" || fail "frame rewritten by the resume: $line"
  done <<<"$before"
fi
cat "$farm"/logs/join-*.out
[ -s "$farm/manifest.txt" ] || fail "no joined manifest"
[ "$(wc -l <"$farm/manifest.txt")" = 20 ] || fail "joined manifest does not list 20 frames"
"$lumetra" farm status "$farm"

if [ "$mode" = fake ]; then
  env -u LUMETRA_FAKE_RENDER_LOG LUMETRA_FAKE_FRAME_DELAY=0 "${renderer[@]}" --render \
    "$plain" "$project" --frames 0-19 --manifest "$dir/plain.txt"
  dupes=$(sort "$LUMETRA_FAKE_RENDER_LOG" | uniq -d)
  [ -z "$dupes" ] || fail "frames rendered twice: $dupes"
  [ "$(wc -l <"$LUMETRA_FAKE_RENDER_LOG")" = 20 ] || fail "not every frame was rendered once"
else
  "$lumetra" --render "$plain" "$project" --frames 0-19 \
    --manifest "$dir/plain.txt" --quiet
fi
diff <(normal "$farm/manifest.txt") <(normal "$dir/plain.txt") ||
  fail "the farm's manifest differs from a plain render's"
if [ "$test" = movie ]; then
  [ -s "$dir/out/film.mp4" ] || fail "no movie"
  [ "$(ls -A "$dir/out")" = film.mp4 ] || fail "more than the movie in out/: $(ls -A "$dir/out")"
  status=$("$lumetra" farm status "$farm" --json)
  echo "$status"
  num() { sed -n "s/.*\"$1\":\([0-9]*\).*/\1/p" <<<"$status"; }
  # The frames' size from a PNG header (width and height, big-endian, at byte 16).
  be32() { echo $((16#$(od -An -tx1 -j "$2" -N4 "$1" | tr -d ' \n'))); }
  frame=$(ls "$dir"/plain/*.png | head -n 1)
  grep -q '"assembly":"assembled"' <<<"$status" || fail "the movie was not assembled"
  [ "$(num movie_frames)" = 20 ] || fail "the movie reads back $(num movie_frames) frames, not 20"
  [ "$(num movie_width)" = "$(be32 "$frame" 16)" ] && [ "$(num movie_height)" = "$(be32 "$frame" 20)" ] ||
    fail "the movie is $(num movie_width)x$(num movie_height), its frames $(be32 "$frame" 16)x$(be32 "$frame" 20)"
  [ "$(num movie_sample_rate)" -gt 0 ] && [ "$(num movie_channels)" -gt 0 ] ||
    fail "the movie has no sound"
fi
echo "PASSED: $case_name"
