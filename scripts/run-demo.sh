#!/usr/bin/env bash
# `make run`: starts the scanner emulator on a private link and the program
# connected to it; stops the emulator when the program exits.
# ORVANEL_SIM_ARGS adds emulator options, e.g. ORVANEL_SIM_ARGS=--outdated
# make run to be offered the firmware update. The update uses the emulator's
# own test images, which are made for it and never reach a real scanner.
set -euo pipefail
build=${1:-build}
sim=$build/tools/scanner-sim/orvanel-scanner-sim
app=$build/src/app/orvanel

if [ ! -x "$sim" ] && [ ! -x "$app" ]; then
  echo "Nothing to run yet: neither the emulator nor the program has been built."
  exit 1
fi

rundir=$(mktemp -d "${TMPDIR:-/tmp}/orvanel-run.XXXXXX")
link=$rundir/ttyORV
simpid=""
cleanup() {
  if [ -n "$simpid" ]; then kill "$simpid" 2>/dev/null || true; wait "$simpid" 2>/dev/null || true; fi
  rm -rf "$rundir"
}
trap cleanup EXIT INT TERM

if [ -x "$sim" ]; then
  # shellcheck disable=SC2086 # options are split on purpose
  "$sim" --link "$link" ${ORVANEL_SIM_ARGS:-} > "$rundir/sim.out" &
  simpid=$!
  for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
  echo "Scanner emulator serving on $link"
fi

images=$build/tools/scanner-sim/firmware
if [ -z "${ORVANEL_FIRMWARE_DIR:-}" ] && [ -d "$images" ]; then
  export ORVANEL_FIRMWARE_DIR=$images
fi

# No wireless adapter needed: the Wi-Fi survey reads the networks that sit on
# the emulator's access points (channels 1, 6 and 11) from a survey file.
if [ -z "${ORVANEL_WIFI_FILE:-}" ]; then
  export ORVANEL_WIFI_FILE
  ORVANEL_WIFI_FILE=$(cd "$(dirname "$0")/.." && pwd)/tools/demo/wifi-survey.json
fi

if [ -x "$app" ]; then
  if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found (DISPLAY is not set); starting the program on the offscreen platform."
    export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
  fi
  if [ -n "$simpid" ]; then
    "$app" -port "$link" "$@" || true
  else
    "$app" "$@" || true
  fi
else
  echo "The program itself is not built yet; the emulator runs until you press Ctrl+C."
  wait "$simpid"
fi
