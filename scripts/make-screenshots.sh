#!/usr/bin/env bash
# Makes the manual's screenshots (doc/manual/images) by running the program
# against the scanner emulator on a virtual X display and photographing it
# with ImageMagick. Needs xvfb-run, xdotool and imagemagick.
#
#   scripts/make-screenshots.sh [build-dir]
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/doc/manual/images
sim=$root/$build/tools/scanner-sim/orvanel-scanner-sim
app=$root/$build/src/app/orvanel
for tool in xvfb-run xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
[ -x "$sim" ] && [ -x "$app" ] || { echo "build first: make build" >&2; exit 1; }

if [ "${ORVANEL_SHOTS_INSIDE:-}" != 1 ]; then
  # The screen is the main window's 1024 x 640 plus room on the right for
  # the debug window, which opens 5 px beside it.
  ORVANEL_SHOTS_INSIDE=1 exec xvfb-run -a -s "-screen 0 1530x640x24" "$0" "$@"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/orvanel-shots.XXXXXX")
chmod 700 "$work"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

# Own settings, single-instance socket and scan journals: a journal left by
# another run would start the program at the recovery question.
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work XDG_STATE_HOME=$work/state
mkdir -p "$XDG_CONFIG_HOME/Tarnwell"
printf '[General]\nWindowGeometry=@Rect(0 0 1024 640)\nWindowMaximized=false\n' \
  > "$XDG_CONFIG_HOME/Tarnwell/Orvanel.conf"

"$sim" --seed 7 --link "$work/tty" > "$work/sim.out" 2> "$work/sim.err" &
pids+=($!)
for _ in $(seq 50); do [ -e "$work/tty" ] && break; sleep 0.1; done

# Without -debug, so the connection reads the scanner's versions for the
# status bar; the debug window is asked for below through a second start.
"$app" -port "$work/tty" > "$work/app.out" 2>&1 &
pids+=($!)

# Whole seconds of scanning fill the density view and the waterfall.
sleep "${ORVANEL_SHOTS_SCAN_S:-20}"
# A second start hands -debug to the running window, which opens the debug
# window beside itself; the second process exits.
"$app" -debug >> "$work/app.out" 2>&1

shot() { # name geometry
  import -window root -crop "$2" +repage "$work/$1.png"
  convert "$work/$1.png" -colors 96 "PNG8:$out/$1.png"
  echo "$out/$1.png"
}
# A scan without a project name asks for one: give it one. The positions are
# those of the program's own 1024 x 640 layout with the dark style.
xdotool mousemove 568 220 click 1 sleep 0.5 type --delay 40 "Spring show, main stage"
xdotool mousemove 540 342 click 1
# The readout box follows the pointer; rest it on the Wi-Fi channel.
xdotool mousemove 215 260
sleep 3
shot spectrum 1024x640+0+0
shot debug-window 500x640+1029+0

# The page's own tool bar: "Spectrogram View" switches to the waterfall.
xdotool mousemove 225 78 click 1 mousemove 600 160
sleep 3
shot waterfall 1024x640+0+0
