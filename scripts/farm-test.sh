#!/usr/bin/env bash
# The farm tests on a real one-node SLURM cluster: starts it (scripts/slurm-cluster.sh),
# runs the tests labelled "farm" of an existing test build (default build/test, as
# scripts/test.sh makes it), and stops the cluster whatever the outcome. Needs root.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/test}
[ -x "$build/src/app/lumetra" ] || { echo "farm-test: build $build first (scripts/test.sh)" >&2; exit 1; }
if [ "$(id -u)" != 0 ]; then
  # The cluster's daemons and packages need root.
  if sudo -n true 2>/dev/null; then exec sudo -E "$PWD/scripts/farm-test.sh" "$build"; fi
  echo "farm-test: skipped, starting a SLURM cluster needs root (or sudo without a password)" >&2
  exit 0
fi
trap 'scripts/slurm-cluster.sh stop' EXIT
eval "$(scripts/slurm-cluster.sh start)"
export SLURM_CONF
ctest --test-dir "$build" -L farm --output-on-failure
