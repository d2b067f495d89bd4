#!/bin/sh
# Installs the header into a temporary prefix, builds the minimal effect against it outside
# the source tree, loads it with /L: and checks what --list-plugins reports.
# Arguments: the build tree, the lumetra program, the effect's source, the project folder.
set -eu
build_tree=$1 lumetra=$2 source=$3 project=$4
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cmake --install "$build_tree" --prefix "$tmp/prefix" >/dev/null
test -f "$tmp/prefix/include/lumetra/plugin.h"
cmake -S "$project" -B "$tmp/build" -DCMAKE_PREFIX_PATH="$tmp/prefix" \
  -DEFFECT_SOURCE="$source" >/dev/null
cmake --build "$tmp/build" >/dev/null
library="$tmp/build/minimal_effect.ztl"
# Keep the user's own plug-in folders and settings out of it.
XDG_DATA_HOME="$tmp/data" XDG_CONFIG_HOME="$tmp/config" LUMETRA_PLUGIN_PATH= \
  "$lumetra" --list-plugins "/L:$library" >"$tmp/list.json"
expect() {
  grep -q -F -- "$1" "$tmp/list.json" || { echo "missing: $1"; cat "$tmp/list.json"; exit 1; }
}
expect "\"path\":\"$library\",\"result\":1"
expect '"signature":"Invert 1.0 Example","name":"Filtering/Invert","version":0'
expect '"inputs":1,"previous_track_input":0,"fields":[{"name":"strength","type":6,"count":1}]'
echo "listed: $(cat "$tmp/list.json")"
