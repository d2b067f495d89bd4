#!/usr/bin/env bash
# Stands in for "lumetra --render" in the farm tests, so that the cluster path (submit, array
# tasks, scancel, resume, join) is exercised whatever the renderer can do: each frame file
# holds its number and the project's name, written to a temporary name and renamed, frames on
# disk are skipped, the manifest gets "NAME SHA256" per frame as it is written, and every
# frame rendered is appended to $LUMETRA_FAKE_RENDER_LOG. Any other command goes to the real
# program, $LUMETRA_REAL.
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
  printf 'frame %d of %s\n' "$f" "${project##*/}" >"$name.tmp-$$"
  mv "$name.tmp-$$" "$name"
  if [ -n "$manifest" ]; then
    { [ ! -e "$manifest" ] || cat "$manifest"
      printf '%s %s\n' "$name" "$(sha256sum "$name" | cut -d' ' -f1)"; } >"$manifest.tmp-$$"
    mv "$manifest.tmp-$$" "$manifest"
  fi
  [ -z "${LUMETRA_FAKE_RENDER_LOG:-}" ] || echo "$f" >>"$LUMETRA_FAKE_RENDER_LOG"
done
