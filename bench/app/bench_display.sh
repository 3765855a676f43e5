#!/usr/bin/env bash
# Every sweep on screen: the program at the scanner's own rate in a real
# window system (Xvfb), at 1920x1080 and 3840x2160, the spectrum and the
# waterfall, with bench_live --paced: frames shown per second and the whole
# program's share of a core (the X server's not counted).
#
#   bench_display [--seconds N]      (default 20 per run, after 5 s settling)
# BUILD_DIR may name the build directory (default: the one holding this script).
set -euo pipefail
seconds=20
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) seconds=$2; shift 2 ;;
    *) echo "usage: $0 [--seconds N]" >&2; exit 64 ;;
  esac
done
here=$(cd "$(dirname "$0")" && pwd)
build=${BUILD_DIR:-$(dirname "$here")}
export ORVANEL_SIM=${ORVANEL_SIM:-$build/tools/scanner-sim/orvanel-scanner-sim}
live=$build/bench/bench_live
for f in "$ORVANEL_SIM" "$live"; do [ -x "$f" ] || { echo "missing $f" >&2; exit 1; }; done
command -v xvfb-run > /dev/null || { echo "xvfb-run is needed" >&2; exit 1; }
for size in 1920x1080 3840x2160; do
  for view in "" --waterfall; do
    echo "-- $size ${view:---spectrum}"
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 3840x2200x24" \
      "$live" "$seconds" --paced --size "$size" $view
  done
done
