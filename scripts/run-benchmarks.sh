#!/usr/bin/env bash
# `make bench`: runs every benchmark in bench/ and prints its figures.
set -uo pipefail
build=${1:-build}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export ORVANEL_SIM=$build/tools/scanner-sim/orvanel-scanner-sim
status=0
for b in "$build"/bench/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" || status=1
done
exit $status
