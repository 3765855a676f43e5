#!/usr/bin/env bash
# A venue network on one machine: a private mosquitto broker, two scanner
# emulators and two publishing nodes (north on 2.4 GHz with a limit line that
# raises alarms, south on 900 MHz) with metrics on 127.0.0.1:9465 and :9466,
# scraped once, and the program watching both nodes live. Closing the program
# (or Ctrl-C) stops them all; ORVANEL_DEMO_NO_WINDOW=1 leaves the program out.
set -euo pipefail
build=${1:-build}
shift $(( $# > 0 ? 1 : 0 ))
sim=$build/tools/scanner-sim/orvanel-scanner-sim
capture=$build/tools/capture/orvanel-capture
broker=$(command -v mosquitto || echo /usr/sbin/mosquitto)
for prog in "$sim" "$capture" "$broker"; do
  [ -x "$prog" ] || { echo "missing $prog (build first; apt-get install mosquitto)"; exit 1; }
done
port=${ORVANEL_BROKER_PORT:-18830}
run=$(mktemp -d "${TMPDIR:-/tmp}/orvanel-venue.XXXXXX")
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2> /dev/null || true; done
  wait 2> /dev/null || true
  rm -rf "$run"
}
trap cleanup EXIT INT TERM

printf 'listener %s 127.0.0.1\nallow_anonymous true\n' "$port" > "$run/mosquitto.conf"
[ "$(id -u)" -eq 0 ] && echo 'user root' >> "$run/mosquitto.conf"
"$broker" -c "$run/mosquitto.conf" > "$run/broker.log" 2>&1 & pids+=($!)
for node in north south; do
  "$sim" --link "$run/tty-$node" > "$run/sim-$node.log" & pids+=($!)
done
for _ in $(seq 50); do [ -e "$run/tty-north" ] && [ -e "$run/tty-south" ] && break; sleep 0.1; done
url=mqtt://127.0.0.1:$port/venue
# A mask the emulator's strongest Wi-Fi channel stays over; held for 12 s, its
# alarm starts once the program below watches, on north's waterfall.
cat > "$run/limits.json" << 'JSON'
{"limits": [{"name": "Stage mask", "band": "2400",
             "points": [[2400.0, -60.0], [2500.0, -60.0]],
             "trace": "current", "holdSeconds": 12, "clearSeconds": 2}]}
JSON
"$capture" --port "$run/tty-north" --band 2400 --publish "$url" --node north \
  --limits "$run/limits.json" --metrics 9465 > "$run/north.log" 2>&1 & pids+=($!)
"$capture" --port "$run/tty-south" --band 900 --publish "$url" --node south \
  --metrics 9466 > "$run/south.log" 2>&1 & pids+=($!)

cat << TEXT
Broker $url, nodes north (2.4 GHz) and south (900 MHz). Try:
  mosquitto_sub -p $port -t 'venue/+/status' -v
  mosquitto_sub -p $port -t 'venue/+/utilization' -v     # once a minute
  curl -s 127.0.0.1:9465/metrics | promtool check metrics
TEXT
sleep 3
if command -v curl > /dev/null; then
  echo "== metrics of north (127.0.0.1:9465/metrics):"
  curl -s 127.0.0.1:9465/metrics | grep -E '^orvanel_(sweeps_total|device_up|broker_up)' || true
fi
app=$build/src/app/orvanel
if [ -z "${ORVANEL_DEMO_NO_WINDOW:-}" ] && [ -x "$app" ]; then
  echo "== the program watches both nodes: $app --watch $url"
  echo "Closing the program stops everything."
  "$app" --watch "$url" "$@" || true
else
  echo "Watch them in the program with: $app --watch $url"
  echo "Ctrl-C stops everything."
  wait
fi
