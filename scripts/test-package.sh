#!/usr/bin/env bash
# The Debian package, as CI checks it: built by CPack (preset `package`), checked by lintian (an
# error fails), installed with apt, `orvik-monitor --version` run from the installed path, its files
# listed, orvikctl's bash completion loaded from where bash-completion looks for it, the monitor
# started from the installed menu entry against orvik-sim mapped through comm-devices.cfg, and the
# package removed again. Installing needs root; without it the script stops after lintian.
set -euo pipefail
cd "$(dirname "$0")/.."

rm -f build/package/orvik-monitor_*.deb
cmake --workflow --preset package
debs=(build/package/orvik-monitor_*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "expected one package, found: ${debs[*]}" >&2; exit 1; }
deb=$(realpath "${debs[0]}")
echo "Package: $deb, $(stat -c %s "$deb") bytes, installed size $(dpkg-deb -f "$deb" Installed-Size) KiB"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"

echo "lintian (errors E:, warnings W:, notes I:; nothing printed is nothing found):"
status=0
lintian -I --fail-on error "$deb" >build/package/lintian.txt 2>&1 || status=$?
grep -v '^running with root privileges' build/package/lintian.txt || true
[ "$status" -eq 0 ] || { echo "lintian reports errors" >&2; exit 1; }

if [ "$(id -u)" -ne 0 ]; then
  echo "Not root: the package is not installed here."
  exit 0
fi

work=$(mktemp -d)
pids=()
installed=0
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  if [ "$installed" -eq 1 ]; then DEBIAN_FRONTEND=noninteractive apt-get purge -y -q orvik-monitor >/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

installed=1
DEBIAN_FRONTEND=noninteractive apt-get purge -y -q orvik-monitor >/dev/null 2>&1 || true
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb"
[ "$(/usr/bin/orvik-monitor --version)" = "orvik-monitor $(dpkg-deb -f "$deb" Version)" ] ||
  { echo "/usr/bin/orvik-monitor --version says something else" >&2; exit 1; }
echo "/usr/bin/orvik-monitor --version: $(/usr/bin/orvik-monitor --version)"
echo "Files of the installed package:"
dpkg -L orvik-monitor | tee "$work/files"
completion=/usr/share/bash-completion/completions/orvikctl
registered=$(bash -c 'source "$1" && complete -p orvikctl' bash "$completion") || true
if ! grep -qx "$completion" "$work/files" || [ "$registered" != "complete -F _orvikctl orvikctl" ]; then
  echo "the package does not complete orvikctl through $completion" >&2
  exit 1
fi
echo "$completion completes orvikctl"

# The menu's way: the entry's command, from the home folder, the port mapped only by the per-user
# comm-devices.cfg to a stable name of the simulator's device.
entry=$(grep '^/usr/share/applications/.*\.desktop$' "$work/files")
command=$(sed -n 's/^Exec=//p' "$entry")
home=$work/home
folder=$home/.config/orvik-monitor
mkdir -p "$folder" "$work/serial/by-id"
printf '\001\000' >"$folder/options.cfg"
adapter=$work/serial/by-id/usb-Orvik_Simulated_Controller-if00-port0
echo "COMM1=$adapter" >"$folder/comm-devices.cfg"
/usr/bin/orvik-sim --log --link "$adapter" >"$work/sim.out" 2>"$work/sim.log" &
pids+=($!)
exec 3< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>"$work/xvfb.log")
pids+=($!)
read -r -t 10 display <&3 || { echo "Xvfb did not start" >&2; exit 1; }
for _ in $(seq 100); do [ -L "$adapter" ] && break; sleep 0.05; done
# With the trend window open from the start (ORVIK_TREND_OPEN), so that the installed plugin is loaded.
# shellcheck disable=SC2086  # the entry's command splits into words as the menu splits it
(cd "$home" && exec env -i PATH=/usr/bin:/bin HOME="$home" DISPLAY=":$display" XDG_RUNTIME_DIR="$work" \
  ORVIK_TREND_OPEN=1 $command >"$work/monitor.log" 2>&1) &
pids+=($!)
monitor=$!
answers=0
for _ in $(seq 300); do
  answers=$(grep -c -- '-> answer' "$work/sim.log" || true)
  [ "$answers" -ge 3 ] && break
  sleep 0.1
done
if [ "$answers" -lt 3 ]; then
  echo "The monitor started from $entry did not poll the simulator through $adapter:" >&2
  cat "$work/monitor.log" "$work/sim.log" >&2
  exit 1
fi
[ ! -e "$home/options.cfg" ] || { echo "the menu's run left options.cfg in the home folder" >&2; exit 1; }
echo "Started from $entry ($command): $answers answers from orvik-sim through comm-devices.cfg"
plugin=$(grep '/orvik-trend\.so$' "$work/files")
grep -q " $plugin$" "/proc/$monitor/maps" && grep -q libQCustomPlot "/proc/$monitor/maps" ||
  { echo "the installed monitor did not load $plugin and the chart library:" >&2; cat "$work/monitor.log" >&2; exit 1; }
echo "The trend window opened from $plugin"

DEBIAN_FRONTEND=noninteractive apt-get purge -y -q orvik-monitor
installed=0
if dpkg-query -W -f='${Status}' orvik-monitor 2>/dev/null | grep -q "install ok installed"; then
  echo "orvik-monitor is still installed" >&2
  exit 1
fi
while read -r path; do
  if [ -e "$path" ] && [ ! -d "$path" ]; then
    echo "$path is left after removal" >&2
    exit 1
  fi
done <"$work/files"
echo "Removed: no file of the package is left."
