#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a set time each.
#   scripts/run-fuzz.sh <build-fuzz dir> <seconds per target> [target regex]
# New inputs go to <build-fuzz>/corpus/<target> (outside git), which is kept
# between runs and read back together with the seeds written at build time.
# Findings land in <build-fuzz>/findings/; the exit status is 1 if any target
# found something. One summary line per target: executions and status.
set -uo pipefail
build=${1:?build dir}
seconds=${2:-300}
filter=${3:-.}
bin="$build/fuzz"
[ -d "$bin/seeds" ] || { echo "no seeds in $bin: build the fuzz-targets target" >&2; exit 2; }
mkdir -p "$build/findings" "$build/logs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")/.." && pwd)/tests/lsan.supp:print_suppressions=0"
export QT_QPA_PLATFORM=offscreen

failed=0
summary=()
start=$(date +%s)
for exe in "$bin"/fuzz_*; do
  [ -x "$exe" ] && [ -f "$exe" ] || continue
  name=$(basename "$exe")
  case "$name" in *.dict | *.asan_options) continue ;; esac
  echo "$name" | grep -Eq "$filter" || continue
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  dict=()
  seeds=()
  [ -d "$bin/seeds/$name" ] && seeds=("$bin/seeds/$name")
  [ -f "$exe.dict" ] && dict=(-dict="$exe.dict")
  log="$build/logs/$name.log"
  asan=$ASAN_OPTIONS
  [ -f "$exe.asan_options" ] && asan="$asan:$(cat "$exe.asan_options")"
  echo "== $name for ${seconds}s"
  ASAN_OPTIONS=$asan nice "$exe" "${dict[@]}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/findings/$name-" \
    "$corpus" "${seeds[@]}" >"$log" 2>&1
  rc=$?
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
  if [ $rc -eq 0 ]; then status=ok; else status="FINDING (see $log)"; failed=1; tail -40 "$log"; fi
  summary+=("$(printf '%-22s %12s execs  %s' "$name" "${execs:-?}" "$status")")
done
echo "== fuzz summary ($(( $(date +%s) - start )) s)"
printf '%s\n' "${summary[@]}"
exit $failed
