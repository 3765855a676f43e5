#!/usr/bin/env bash
# The whole program's CPU share while it scans at the scanner's own rate:
# starts the emulator (default pacing) and the program under Xvfb with a
# 1920x1080 window, lets it settle, then reads the program's CPU time
# (utime + stime of /proc/<pid>/stat) over the measuring time.
#
#   bench_idlecpu [--seconds N]      (default 60; settling time 10 s)
# BUILD_DIR may name the build directory (default: the one holding this script).
set -euo pipefail
seconds=60
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) seconds=$2; shift 2 ;;
    *) echo "usage: $0 [--seconds N]" >&2; exit 64 ;;
  esac
done
here=$(cd "$(dirname "$0")" && pwd)
build=${BUILD_DIR:-$(dirname "$here")}
sim=$build/tools/scanner-sim/orvanel-scanner-sim
app=$build/src/app/orvanel
for f in "$sim" "$app"; do [ -x "$f" ] || { echo "missing $f" >&2; exit 1; }; done
command -v xvfb-run > /dev/null || { echo "xvfb-run is needed" >&2; exit 1; }

rundir=$(mktemp -d "${TMPDIR:-/tmp}/orvanel-idlecpu.XXXXXX")
simpid=""
cleanup() {
  if [ -n "$simpid" ]; then kill "$simpid" 2> /dev/null || true; wait "$simpid" 2> /dev/null || true; fi
  rm -rf "$rundir"
}
trap cleanup EXIT INT TERM

"$sim" --link "$rundir/tty" > "$rundir/sim.out" 2>&1 &
simpid=$!
for _ in $(seq 50); do [ -e "$rundir/tty" ] && break; sleep 0.1; done

# Inside the virtual display: start the program, size its window, measure.
cat > "$rundir/inner.sh" << 'INNER'
#!/usr/bin/env bash
set -euo pipefail
app=$1 tty=$2 seconds=$3 rundir=$4
export XDG_RUNTIME_DIR=$rundir XDG_CONFIG_HOME=$rundir/config XDG_STATE_HOME=$rundir/state XDG_DATA_HOME=$rundir/data
export QTWEBENGINE_DISABLE_SANDBOX=1
# `make bench` runs the others offscreen; this one needs the window system.
export QT_QPA_PLATFORM=xcb
"$app" -port "$tty" > "$rundir/app.out" 2>&1 &
pid=$!
win=""
for _ in $(seq 100); do
  win=$(xdotool search --onlyvisible --pid "$pid" 2> /dev/null | head -1 || true)
  [ -n "$win" ] && break
  sleep 0.1
done
[ -n "$win" ] && xdotool windowmove "$win" 0 0 windowsize "$win" 1920 1080 || echo "no window found"
sleep 10
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
t0=$(ticks); s0=$(date +%s.%N); l0=$(cut -d' ' -f1 /proc/loadavg)
sleep "$seconds"
t1=$(ticks); s1=$(date +%s.%N); l1=$(cut -d' ' -f1 /proc/loadavg)
kill "$pid"; wait "$pid" 2> /dev/null || true
awk -v a="$t0" -v b="$t1" -v hz="$hz" -v s0="$s0" -v s1="$s1" -v l0="$l0" -v l1="$l1" 'BEGIN {
  cpu = (b - a) / hz; wall = s1 - s0; share = 100 * cpu / wall
  printf "program CPU %.2f s over %.1f s wall: %.2f %% of one core (load average %s -> %s)\n", cpu, wall, share, l0, l1
  printf "TARGET app.idle_cpu_1080p %.2f %% <=8 %s\n", share, share <= 8 ? "met" : "missed"
}'
INNER
chmod +x "$rundir/inner.sh"
xvfb-run -a -s '-screen 0 1920x1080x24' "$rundir/inner.sh" "$app" "$rundir/tty" "$seconds" "$rundir"
