#!/usr/bin/env bash
# The tool's main job on a desk without detectors: the simulated demo line
# (detectors 1, 2 and 17) and Wexcon on it, in a working folder of its own
# whose Param.ini points at the line, with the master parameter files in
# Masters/. Closing the window ends both. Without a display, Wexcon runs on a
# virtual X display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh >/dev/null

work=build/demo
mkdir -p "$work/Masters"
cp masters/*.bin "$work/Masters/"
# The recording windows start their converter and plot program from the working folder.
for tool in Rawconv Rawconv_LB Graph; do ln -sf "$(pwd)/build/tools/$tool" "$work/$tool"; done
[ -e "$work/SanityCheckInput.ini" ] ||
  printf '[SanityCheck]\nszMasterParamBinFile=Masters/MasterParam_I.bin\n' >"$work/SanityCheckInput.ini"
link=/tmp/wexcon-sim/ttyDET0
cat >"$work/Param.ini" <<INI
[DCB]
szCom=$link:9600,n,8,1
[VantorD]
iGood=2
INI

coproc SIM { exec build/sim/wexcon-sim --link "$link"; }
sim_pid=$SIM_PID
trap 'kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null || true' EXIT
read -r ready _ <&"${SIM[0]}"
[ "$ready" = ready ] || { echo "run: the simulator did not start" >&2; exit 1; }
echo "Demo line on $link: detectors 1 (IR), 2 (UV/IR), 17 (IR, locked: maint17 / admin17)."

app=$(pwd)/build/app/Wexcon
cd "$work"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  "$app" "$@"
else
  echo "No display: Wexcon runs on a virtual X display."
  xvfb-run -a "$app" "$@"
fi
