#!/usr/bin/env bash
# Installs what is missing, builds the two programs (vantrel and vantrel-sim,
# nothing else), and starts the tool on the simulated scanner: vantrel-sim
# plays the device on a pseudo-terminal, reached as COM1 through a link.
# Arguments go to the simulator (default: a scan every second). Closing the
# window stops the simulator.
#
# Started as root (sudo), it installs the packages, then builds and runs the
# demo as the owner of this tree, so that a later run as that user works.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
install_packages "${base_packages[@]}"
configure_and_build build vantrel vantrel-sim

dir=$(as_builder mktemp -d)
link="$dir/scanner"
if [ $# -eq 0 ]; then set -- --every 1; fi
as_builder ./build/vantrel-sim --link "$link" "$@" >/dev/null &
sim=$!
stop() { kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; rm -rf "$dir"; }
trap stop EXIT
trap 'exit 143' INT TERM HUP # runs stop() on the way out
for _ in $(seq 50); do [ -L "$link" ] && break; sleep 0.1; done

as_builder env VANTREL_COM1="$link" ./build/vantrel
