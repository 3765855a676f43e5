#!/usr/bin/env bash
# check-venue.sh <source-dir>: the example alert rules load in Prometheus'
# own checker and the node's service unit passes systemd's. Exit 77 (skipped)
# when neither checker is installed.
set -euo pipefail
src=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/orvanel-venue.XXXXXX")
trap 'rm -rf "$work"' EXIT
checked=0
if command -v promtool > /dev/null; then
  promtool check rules "$src/packaging/orvanel-alerts.rules.yml"
  checked=1
fi
if command -v systemd-analyze > /dev/null; then
  # An instance, with a program that exists here in place of the installed one.
  sed 's|/usr/bin/orvanel-capture|/bin/true|' "$src/packaging/orvanel-capture@.service" \
    > "$work/orvanel-capture@node.service"
  out=$(systemd-analyze verify --man=no "$work/orvanel-capture@node.service" 2>&1) || {
    echo "$out"; exit 1; }
  [ -z "$out" ] || { echo "$out"; exit 1; }
  checked=1
fi
[ "$checked" = 1 ] || exit 77
