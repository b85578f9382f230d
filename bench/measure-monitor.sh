#!/usr/bin/env bash
# Measures the real orvik-monitor against orvik-sim on a virtual display:
#   - time from launch until the main window is viewable (the splash takes 2000 ms of it),
#   - CPU time used by then, CPU time over 60 s of polling, peak resident memory.
# Usage: bench/measure-monitor.sh [build directory, default build/release]
# Needs Xvfb and xwininfo (Debian packages xvfb and x11-utils).
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(realpath "${1:-build/release}")/src
command -v xwininfo >/dev/null || { echo "needs xwininfo: apt-get install x11-utils" >&2; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT
export XDG_RUNTIME_DIR=$work/xdg
mkdir -m 700 "$XDG_RUNTIME_DIR"

"$bin/orvik-sim" >"$work/sim.out" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/sim.out" ] && break; sleep 0.05; done
export ORVIK_COMM1=$(head -n 1 "$work/sim.out")
printf '\001\000' >"$work/options.cfg"

exec 3< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null)
pids+=($!)
read -r display <&3
export DISPLAY=:$display
sleep 0.5  # the X server settles before the clock starts

ticks=$(getconf CLK_TCK)
cpu() { awk -v t="$ticks" '{ printf "%.2f", ($14 + $15) / t }' "/proc/$1/stat"; }

start=$(date +%s%N)
(cd "$work" && exec "$bin/orvik-monitor") &
pid=$!
pids+=($pid)
# The main window: viewable, titled "Orvik Monitor", and taller than the splash.
mainShown() {
  local id
  for id in $(xwininfo -root -tree 2>/dev/null | awk '/"Orvik Monitor": \("orvik-monitor"/ { print $1 }'); do
    xwininfo -id "$id" 2>/dev/null | awk '/Map State: IsViewable/ { v = 1 } /Height:/ { h = $2 } END { exit !(v && h > 300) }' &&
      return 0
  done
  return 1
}
until mainShown; do sleep 0.002; done
shown=$(date +%s%N)
cpuShown=$(cpu "$pid")
echo "main window viewable after launch: $(((shown - start) / 1000000)) ms (of which the splash holds 2000 ms)"
echo "CPU time used until then:          ${cpuShown} s"

sleep 10
before=$(cpu "$pid")
sleep 60
after=$(cpu "$pid")
echo "CPU time over 60 s of polling:     $(awk -v a="$after" -v b="$before" 'BEGIN { printf "%.2f", a - b }') s"
echo "peak resident memory:              $(awk '/VmHWM/ { print $2, $3 }' "/proc/$pid/status")"
