#!/usr/bin/env bash
# Runs Orvik Monitor against the simulated controller, in the scratch directory run/ whose
# options.cfg selects Comm 1, with Comm 1 pointing at the simulator's pseudo-terminal.
# Arguments go to orvik-sim, for example: scripts/run.sh --hw-rev 5 --sensor open --alarm 2
# Without a display (neither DISPLAY nor WAYLAND_DISPLAY set) it runs under Xvfb for a few
# seconds, saves a screenshot of the window and prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/install-deps.sh
[ -f build/release/CMakeCache.txt ] || cmake --preset release >/dev/null
cmake --build --preset release --target orvik-monitor orvik-sim orvik-screen-grab >/dev/null
bin=$root/build/release/src

scratch=$root/run
mkdir -p "$scratch"
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$scratch/xdg}
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
printf '\001\000' >"$scratch/options.cfg"

pids=()
# Last started, first stopped, each waited for: the monitor goes before its display, so it never sees
# the display vanish under it.
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || continue
    for _ in $(seq 50); do
      kill -0 "${pids[i]}" 2>/dev/null || break
      sleep 0.1
    done
  done
}
trap cleanup EXIT

"$bin/orvik-sim" --log "$@" >"$scratch/sim.out" 2>"$scratch/sim.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$scratch/sim.out" ] && break; sleep 0.05; done
device=$(head -n 1 "$scratch/sim.out")
[ -n "$device" ] || { echo "orvik-sim did not start" >&2; exit 1; }
export ORVIK_COMM1=$device
echo "Simulated controller on $device (its traffic: $scratch/sim.log)"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  (cd "$scratch" && "$bin/orvik-monitor")
  exit 0
fi

# No display: a virtual one, long enough for the splash and a few polls.
exec 3< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>"$scratch/xvfb.log")
pids+=($!)
read -r -t 10 display <&3 || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$display
(cd "$scratch" && exec "$bin/orvik-monitor") &
pids+=($!)
for _ in $(seq 200); do
  [ "$(grep -c -- '-> answer' "$scratch/sim.log" 2>/dev/null || true)" -ge 3 ] && break
  sleep 0.1
done
sleep 0.3  # let the window paint the last answer
"$bin/orvik-screen-grab" "$scratch/orvik-monitor.png"
echo "Screenshot of the main window: $scratch/orvik-monitor.png"
