#!/usr/bin/env bash
# Installs what is missing, builds the two programs (vantrel and vantrel-sim,
# nothing else), and starts the tool on the simulated scanner: vantrel-sim
# plays the device on a pseudo-terminal, reached as COM1 through a link.
# Arguments go to the simulator (default: a scan every second).
#
# The demo touches nothing of the user's: the tool runs with settings of its
# own in a temporary folder, removed at the end with the link. Closing the
# window, Ctrl+C or SIGTERM of this script ends the simulator it started.
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
as_builder mkdir "$dir/config"
if [ $# -eq 0 ]; then set -- --every 1; fi

sim='' app=''
stop() {
  trap - EXIT INT TERM HUP
  [ -n "$app" ] && kill -TERM "$app" 2>/dev/null || true
  # The simulator leads a process group of its own: the whole of it goes.
  [ -n "$sim" ] && kill -TERM -- "-$sim" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$dir"
}
trap stop EXIT
trap 'exit 143' INT TERM HUP # runs stop() on the way out

setsid "${builder[@]}" ./build/vantrel-sim --link "$link" "$@" >/dev/null &
sim=$!
for _ in $(seq 50); do [ -L "$link" ] && break; sleep 0.1; done

# In the background, so that a signal to this script is acted on at once
# rather than when the window closes.
"${builder[@]}" env XDG_CONFIG_HOME="$dir/config" VANTREL_COM1="$link" ./build/vantrel &
app=$!
wait "$app" || true
