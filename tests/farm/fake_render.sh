#!/usr/bin/env bash
# Stands in for "lumetra --render" in the farm tests, so that the cluster path (submit, array
# tasks, scancel, resume, join) can be watched frame by frame: each frame is rendered alone by
# the real program, $LUMETRA_REAL (the join reads every frame back and checks its pixels),
# after an optional delay; frames on disk are skipped, the manifest gets each frame's line,
# and every frame rendered is appended to $LUMETRA_FAKE_RENDER_LOG. Any other command goes to
# the real program.
set -euo pipefail
if [ "${1:-}" != "--render" ]; then
  exec "$LUMETRA_REAL" "$@"
fi
pattern=$2 project=$3
shift 3
frames="" manifest=""
while [ $# -gt 0 ]; do
  case $1 in
    --frames) frames=$2; shift 2 ;;
    --manifest) manifest=$2; shift 2 ;;
    --threads|--track|--format) shift 2 ;;
    --quiet|--skip-existing) shift ;;
    *) echo "fake render: unknown argument $1" >&2; exit 2 ;;
  esac
done
range=${frames%%:*} step=1
[ "$range" = "$frames" ] || step=${frames#*:}
first=${range%-*} last=${range#*-}
hashes=${pattern##*/}
hashes=${hashes//[^#]/}
width=${#hashes}
for ((f = first; f <= last; f += step)); do
  name=${pattern%%#*}$(printf "%0${width}d" "$f")${pattern##*#}
  [ -e "$name" ] && continue
  sleep "${LUMETRA_FAKE_FRAME_DELAY:-0}"
  # Rendered aside, its line recorded, then moved into place: a task killed on the way leaves
  # a line without a frame (rendered again) rather than a frame without a line.
  aside="${pattern%/*}/.fake-render-$$"
  mkdir -p "$aside"
  "$LUMETRA_REAL" --render "$aside/${pattern##*/}" "$project" --frames "$f" --threads 1 \
    --quiet --manifest "$aside/line"
  if [ -n "$manifest" ]; then
    { [ ! -e "$manifest" ] || cat "$manifest"
      printf '%s  %s\n' "$name" "$(awk '{ print $NF }' "$aside/line")"; } >"$manifest.tmp-$$"
    mv "$manifest.tmp-$$" "$manifest"
  fi
  mv "$aside/${name##*/}" "$name"
  rm -rf "$aside"
  [ -z "${LUMETRA_FAKE_RENDER_LOG:-}" ] || echo "$f" >>"$LUMETRA_FAKE_RENDER_LOG"
done
