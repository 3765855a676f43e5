#!/usr/bin/env bash
# `make bench`: runs every benchmark in bench/ and prints its figures.
set -uo pipefail
build=${1:-build}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export ORVANEL_SIM=$build/tools/scanner-sim/orvanel-scanner-sim
status=0
while IFS= read -r b; do
  echo "== $(basename "$b")"
  "$b" || status=1
done < <(find "$build/bench" -type f -perm -u+x -name 'bench_*' | sort)
exit $status
