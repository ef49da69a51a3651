#!/usr/bin/env bash
# Installs what is missing, builds, and starts the tool on the simulated
# scanner: vantrel-sim plays the device on a pseudo-terminal, reached as COM1
# through a link. Arguments go to the simulator (default: a scan every second).
# Closing the window stops the simulator.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

dir=$(mktemp -d)
link="$dir/scanner"
if [ $# -eq 0 ]; then set -- --every 1; fi
./build/vantrel-sim --link "$link" "$@" >/dev/null &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; rm -rf "$dir"' EXIT
for _ in $(seq 50); do [ -L "$link" ] && break; sleep 0.1; done

VANTREL_COM1="$link" ./build/vantrel
