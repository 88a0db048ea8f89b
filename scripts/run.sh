#!/usr/bin/env bash
# Starts veq-panel-sim on a pseudo-terminal, maps COM3 to it and launches the application.
set -euo pipefail
build=${1:-build}
link=${VEQ_RUN_LINK:-/tmp/veq-cadence-com3}
"$build/bin/veq-panel-sim" --link "$link" --pace &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
export VEQ_COM3="$link"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: running under xvfb-run."
  xvfb-run -a "$build/bin/veq-cadence"
else
  "$build/bin/veq-cadence"
fi
