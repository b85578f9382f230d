#!/usr/bin/env bash
# Peak resident memory (VmHWM) and CPU time a minute, side by side on one virtual display, of
#   1. a bare Qt Widgets window (bench/bare_window.cpp), the yardstick, empty and with a menu bar and a
#      line of text, and the latter at the main window's size with and without the chart library loaded,
#   2. orvik-monitor polling orvik-sim, the trend window closed,
#   3. orvik-monitor with the trend window open over a store filled with 24 hours of records
#      (ORVIK_TREND_FILL_HOURS=24 ORVIK_TREND_OPEN=1; "n/a" while the monitor reads neither).
# All run at once, each with its own folder and simulator: 10 s to settle, then 60 s of CPU time.
# Usage: bench/measure-footprint.sh [build directory, default build/release]
# Needs Xvfb (Debian package xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build/release}")
bin=$build/src
bare=$build/bench/orvik-bare-window
for program in "$bin/orvik-monitor" "$bin/orvik-trend.so" "$bin/orvik-sim" "$bare"; do
  [ -x "$program" ] || { echo "missing $program: build the preset first" >&2; exit 1; }
done
command -v Xvfb >/dev/null || { echo "needs Xvfb: apt-get install xvfb" >&2; exit 1; }

work=$(mktemp -d)
pids=()
# The programs end before the X server they draw on.
cleanup() {
  for ((i = ${#pids[@]} - 1; i > 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  for ((i = ${#pids[@]} - 1; i > 0; i--)); do wait "${pids[i]}" 2>/dev/null || true; done
  [ ${#pids[@]} -eq 0 ] || kill "${pids[0]}" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

exec 3< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null)
pids+=($!)
read -r display <&3
export DISPLAY=:$display
sleep 0.5  # the X server settles before anything is measured

# A folder of its own for each program: runtime and settings folders, and options.cfg selecting Comm 1.
folder() {
  mkdir -p "$work/$1/xdg" "$work/$1/config" "$work/$1/data"
  chmod 700 "$work/$1/xdg"
  printf '\001\000' >"$work/$1/options.cfg"
}
# Starts a simulator; its device goes to $device.
simulator() {
  "$bin/orvik-sim" >"$work/$1/sim.out" 2>/dev/null &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$work/$1/sim.out" ] && break; sleep 0.05; done
  device=$(head -n 1 "$work/$1/sim.out")
}
# Starts `program` (with any environment assignments before it) in its folder; the pid goes to $started.
launch() {
  local name=$1
  shift
  (cd "$work/$name" && exec env XDG_RUNTIME_DIR="$work/$name/xdg" XDG_CONFIG_HOME="$work/$name/config" \
    XDG_DATA_HOME="$work/$name/data" "$@") &
  started=$!
  pids+=($started)
}

folder bare
launch bare "$bare"
barePid=$started
folder text
launch text "$bare" --menu-and-text
textPid=$started
# The same at the main window's size (5550 x 7680 twips, 370 x 512 pixels at 96 dpi): the window
# system's buffer for a window grows with its area.
folder sized
launch sized "$bare" --menu-and-text 370x512
sizedPid=$started

# The same again with the chart library loaded, as the trend plugin loads it at the trend's first
# opening: what being linked costs before anything is drawn.
folder chart
launch chart LD_PRELOAD="$(ldd "$bin/orvik-trend.so" | awk '/libQCustomPlot/ { print $3 }')" \
  "$bare" --menu-and-text 370x512
chartPid=$started

folder polling
simulator polling
launch polling ORVIK_COMM1="$device" "$bin/orvik-monitor"
pollingPid=$started

trendPid=
if grep -qa ORVIK_TREND_OPEN "$bin/orvik-monitor"; then
  folder trend
  simulator trend
  launch trend ORVIK_COMM1="$device" ORVIK_TREND_FILL_HOURS=24 ORVIK_TREND_OPEN=1 "$bin/orvik-monitor"
  trendPid=$started
fi

# CPU seconds of a process's threads, to the nanosecond (the scheduler's own count: /proc/PID/stat counts
# in 10 ms ticks, too coarse for a poll's few milliseconds). None of the measured programs ends a thread.
cpu() { cat /proc/"$1"/task/*/schedstat | awk '{ ns += $1 } END { printf "%.3f", ns / 1e9 }'; }
measured=("$barePid" "$textPid" "$sizedPid" "$chartPid" "$pollingPid" $trendPid)
declare -A before
sleep 10
for p in "${measured[@]}"; do before[$p]=$(cpu "$p"); done
sleep 60

# One line: what, peak RSS in MB, CPU seconds over the minute.
row() {
  local what=$1 pid=$2
  if [ -z "$pid" ]; then
    printf '%-44s %10s %12s\n' "$what" n/a n/a
  elif [ ! -d "/proc/$pid" ]; then
    printf '%-44s %10s %12s\n' "$what" ended ended
  else
    local hwm
    hwm=$(awk '/VmHWM/ { print $2 }' "/proc/$pid/status")
    printf '%-44s %10.1f %12.3f\n' "$what" "$(awk -v k="$hwm" 'BEGIN { print k / 1024 }')" \
      "$(awk -v a="$(cpu "$pid")" -v b="${before[$pid]}" 'BEGIN { print a - b }')"
  fi
}
printf '%-44s %10s %12s\n' "" "peak MB" "CPU s/min"
row "bare Qt Widgets window" "$barePid"
row "bare window with a menu bar and text" "$textPid"
row "... the same at the main window's size" "$sizedPid"
row "... the same with the chart library loaded" "$chartPid"
row "monitor polling, trend window closed" "$pollingPid"
row "monitor, trend window open, 24 h of records" "$trendPid"
hwm() { awk '/VmHWM/ { print $2 }' "/proc/$1/status"; }
printf '%-44s %10.1f\n' "polling monitor above the bare window" \
  "$(awk -v m="$(hwm "$pollingPid")" -v b="$(hwm "$barePid")" 'BEGIN { print (m - b) / 1024 }')"
printf '%-44s %10.1f\n' "... above the window with a menu bar and text" \
  "$(awk -v m="$(hwm "$pollingPid")" -v b="$(hwm "$textPid")" 'BEGIN { print (m - b) / 1024 }')"
printf '%-44s %10.1f\n' "... above that window at the main window's size" \
  "$(awk -v m="$(hwm "$pollingPid")" -v b="$(hwm "$sizedPid")" 'BEGIN { print (m - b) / 1024 }')"
