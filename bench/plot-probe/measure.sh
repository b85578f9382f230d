#!/usr/bin/env bash
# Builds the two plot probes and measures them side by side on one virtual display:
#   - peak resident memory (VmHWM) with the plot window closed and open,
#   - CPU time over 60 s of 2 s appends with the window open (after 10 s to settle),
#   - time of a synchronous redraw after the x range is shifted by 3 minutes (median of 50),
#     and of a redraw of the whole day,
# and saves pictures of each plot (live view, a link-down gap, the whole day) for a look.
# Usage: bench/plot-probe/measure.sh [build directory, default build/plot-probe]
# Needs Xvfb, qt6-charts-dev with libqt6opengl6-dev, libqcustomplot-dev and libqcustomplot2.1-qt6.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(realpath -m "${1:-$here/../../build/plot-probe}")
png=$build/png

cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null

work=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT
export XDG_RUNTIME_DIR=$work/xdg TZ=UTC
mkdir -m 700 "$XDG_RUNTIME_DIR"

exec 3< <(Xvfb -displayfd 1 -screen 0 2048x1536x24 -nolisten tcp 2>/dev/null)
pids+=($!)
read -r display <&3
export DISPLAY=:$display
sleep 0.5

ticks=$(getconf CLK_TCK)
cpu() { awk -v t="$ticks" '{ printf "%.2f", ($14 + $15) / t }' "/proc/$1/stat"; }
kib() { awk -v k="$2" '$1 == k":" { print $2 }' "/proc/$1/status"; }

# The four runs at once, each window at its own place on the screen.
declare -A pid before after hwm rss
start() {  # library mode x,y
  "$build/plot-probe-$1" --mode "$2" --pos "$3" >"$work/$1-$2.out" 2>"$work/$1-$2.err" &
  pid[$1-$2]=$!
  pids+=($!)
}
start qcustomplot closed 0,0
start qcustomplot open 0,700
start qtcharts closed 1020,0
start qtcharts open 1020,700
echo "4 probes running; 10 s to settle, then 60 s of appends ..." >&2
sleep 10
for k in "${!pid[@]}"; do before[$k]=$(cpu "${pid[$k]}"); done
sleep 60
for k in "${!pid[@]}"; do
  after[$k]=$(cpu "${pid[$k]}")
  hwm[$k]=$(kib "${pid[$k]}" VmHWM)
  rss[$k]=$(kib "${pid[$k]}" VmRSS)
  kill "${pid[$k]}"
done

# Redraw timing one probe at a time, so that the two do not share the cores.
echo "timing redraws after a scroll ..." >&2
mkdir -p "$png"
for lib in qcustomplot qtcharts; do
  "$build/plot-probe-$lib" --mode scroll --scrolls 50 --png-dir "$png" >"$work/$lib-scroll.out" 2>"$work/$lib-scroll.err"
done
# Qt Charts with NaN points in one series per line instead of a series per segment: pictures only.
"$build/plot-probe-qtcharts" --mode scroll --nan-gaps --scrolls 5 --png-dir "$png" >/dev/null 2>"$work/nan.err"

val() { awk -F= -v k="$2" '$1 == k { print $2 }' "$work/$1.out"; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
echo
echo "machine: $(nproc) cores, $(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo), Xvfb 2048x1536x24"
printf '%-12s %12s %12s %12s %12s %12s %10s %22s %12s\n' library "peak RSS" "peak RSS" "RSS open" "CPU s/min" "CPU s/min" "load" "scroll redraw ms" "whole day"
printf '%-12s %12s %12s %12s %12s %12s %10s %22s %12s\n' "" "closed MiB" "open MiB" "at end MiB" "open" "closed" "ms" "median (min-max)" "redraw ms"
for lib in qcustomplot qtcharts; do
  printf '%-12s %12s %12s %12s %12s %12s %10s %22s %12s\n' "$lib" \
    "$(mib "${hwm[$lib-closed]}")" "$(mib "${hwm[$lib-open]}")" "$(mib "${rss[$lib-open]}")" \
    "$(awk -v a="${after[$lib-open]}" -v b="${before[$lib-open]}" 'BEGIN { printf "%.2f", a - b }')" \
    "$(awk -v a="${after[$lib-closed]}" -v b="${before[$lib-closed]}" 'BEGIN { printf "%.2f", a - b }')" \
    "$(val "$lib-open" load_ms)" \
    "$(val "$lib-scroll" scroll_redraw_ms_median) ($(val "$lib-scroll" scroll_redraw_ms_min)-$(val "$lib-scroll" scroll_redraw_ms_max))" \
    "$(val "$lib-scroll" day_redraw_ms_median)"
done
echo "Qt Charts series objects in the open window: $(val qtcharts-open chart_series) (a series per line segment, one per alarm mark)"
echo "Qt Charts NaN points appended live: $(grep -c 'Ignored NaN' "$work/nan.err" || true) warnings 'Ignored NaN, Inf, or -Inf value.'"
echo "pictures: $png"
