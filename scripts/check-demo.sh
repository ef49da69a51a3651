#!/usr/bin/env bash
# Checks the demo (scripts/run.sh) as a user starts and ends it: closed by
# its window, by Ctrl+C, by SIGTERM. Each time nothing it started is left
# running, and the user's own settings file is the same byte for byte.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
# gone PID: no such process, or one that has ended and waits to be reaped.
gone() { [ ! -e "/proc/$1" ] || grep -q '^[0-9]* ([^)]*) Z' "/proc/$1/stat"; }
all_gone() { local p; for p in "$@"; do gone "$p" || return 1; done; }
wait_for() { # wait_for SECONDS COMMAND...
  local end=$((SECONDS + $1)); shift
  until "$@"; do [ $SECONDS -ge $end ] && return 1; sleep 0.1; done
}
# descendant PID NAME: the pid of a process of that name below PID (run.sh
# may start its programs through runuser when run as root).
descendant() {
  local p
  for p in $(pgrep -P "$1"); do
    if [ "$(cat "/proc/$p/comm" 2>/dev/null)" = "$2" ]; then echo "$p"; return; fi
    descendant "$p" "$2" && return
  done
  return 1
}
both_started() { descendant "$1" vantrel-sim >/dev/null && descendant "$1" vantrel >/dev/null; }

demo() { # demo HOW: window | ctrl-c | sigterm
  local how=$1 user pid sim app
  user=$(mktemp -d) # the user's own settings
  mkdir -p "$user/Vantrel"
  printf '[Ports]\nCOM2=/dev/ttyUSB9\n' >"$user/Vantrel/Vantrel.conf"
  cp "$user/Vantrel/Vantrel.conf" "$user/before.conf"
  XDG_CONFIG_HOME="$user" QT_QPA_PLATFORM=offscreen setsid bash scripts/run.sh --every 0.2 >"$user/log" 2>&1 &
  pid=$!
  if ! wait_for 120 both_started "$pid"; then
    check "démo ($how) : la fenêtre et le simulateur démarrent" false
    tail -20 "$user/log" >&2
    kill -KILL -- "-$pid" 2>/dev/null || true
    return
  fi
  sim=$(descendant "$pid" vantrel-sim) app=$(descendant "$pid" vantrel)
  sleep 1 # the window has opened COM1 and taken scans
  case $how in
    window) kill -TERM "$app" ;;          # the window closes as by its button
    ctrl-c) kill -INT -- "-$pid" ;;       # the terminal's whole group
    sigterm) kill -TERM "$pid" ;;         # the script alone
  esac
  check "démo fermée ($how) : plus rien ne tourne" wait_for 10 all_gone "$pid" "$sim" "$app"
  check "démo fermée ($how) : réglages de l'utilisateur inchangés" cmp "$user/before.conf" "$user/Vantrel/Vantrel.conf"
  check "démo fermée ($how) : aucun autre réglage écrit" test "$(ls "$user/Vantrel")" = Vantrel.conf
  kill -KILL "$pid" "$sim" "$app" 2>/dev/null || true
  rm -rf "$user"
}

echo "== La démo (scripts/run.sh)"
for how in window ctrl-c sigterm; do demo "$how"; done
[ "$failures" -eq 0 ]
