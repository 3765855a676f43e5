#!/usr/bin/env bash
# `make bench`: runs every benchmark in bench/, prints its figures and its
# TARGET lines, and ends with the count of missed targets.
set -uo pipefail
build=${1:-build}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export ORVANEL_SIM=$build/tools/scanner-sim/orvanel-scanner-sim
status=0
out=$(mktemp)
trap 'rm -f "$out"' EXIT
while IFS= read -r b; do
  echo "== $(basename "$b")"
  "$b" | tee -a "$out" || status=1
done < <(find "$build/bench" -type f -perm -u+x -name 'bench_*' | sort)
targets=$(grep -c '^TARGET ' "$out")
missed=$(grep -c '^TARGET .* missed$' "$out")
echo "== targets: $targets checked, $missed missed"
[ "$missed" -eq 0 ] || status=1
exit $status
