#!/usr/bin/env bash
# The command-line view of the demo line: a simulated line of three
# detectors, polled in turn, one line per detector and round. Ctrl-C ends both.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh >/dev/null

link=/tmp/wexcon-sim/ttyDET0
coproc SIM { exec build/sim/wexcon-sim --link "$link"; }
sim_pid=$SIM_PID
trap 'kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; exit 0' INT TERM EXIT
read -r ready _ <&"${SIM[0]}"
[ "$ready" = ready ] || { echo "run: the simulator did not start" >&2; exit 1; }

echo "Polling the demo line on $link (detectors 1, 2 and 17); Ctrl-C stops."
while true; do
  for address in 1 2 17; do
    build/cli/wexcon-cli --port "$link:9600,n,8,1" --address "$address" poll || true
  done
  sleep 1
done
