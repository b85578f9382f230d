#!/usr/bin/env bash
# How close orvikctl's status and report come to the time their bytes need on the wire, against
# orvik-sim answering at 9600 bit/s (--pace, no extra delay): on its pseudo-terminal, and through
# ser2net in front of it as tcp:// and rfc2217:// (when ser2net is installed); and the same for the
# monitor's report window, which steps at its own cadence.
#   wire:     every request and answer byte at 9600 8N1 (10 bits a byte), as the simulator logged them;
#             on a pseudo-terminal only the answers take that time (the simulator paces them), so the
#             answers' share is shown too
#   exchange: from the first request the simulator received to the last byte of the last answer
#   process:  the whole run of orvikctl, from start to exit (Qt's start-up included)
# Usage: bench/measure-orvikctl.sh [build directory, default build/release] [runs, default 20]
# The window's report needs Xvfb and xdotool (Debian: xvfb xdotool).
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(realpath "${1:-build/release}")/src
runs=${2:-20}

work=$(mktemp -d)
pids=()
# Last started first: the monitor goes before its display.
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[$i]}" 2>/dev/null && wait "${pids[$i]}" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

"$bin/orvik-sim" --pace --delay 0 --shutdowns 1 --log >"$work/sim.out" 2>"$work/sim.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/sim.out" ] && break; sleep 0.05; done
device=$(head -n 1 "$work/sim.out")

# Wire and exchange times (ms) of the log lines of file $1 from line $2 on, skipping requests that
# match $3 (a pattern; none by default). A line: "<t> ms: request <hex> -> answer <hex>".
measureLog() {
  tail -n +"$2" "$1" | grep -v -e "${3:-^$}" | awk '
    / ms: request / {
      t = $1 + 0; n = 0; answer = 0; a = 0
      for (i = 4; i <= NF; i++) { if ($i == "answer") answer = 1; else if ($i ~ /^[0-9A-F][0-9A-F]$/) { n++; if (answer) a++ } }
      if (first == "") first = t
      bytes += n; answers += a; last = t; lastAnswer = a
    }
    END { ms = 10000 / 9600; printf "%.1f %.1f %.1f\n", bytes * ms, (last - first) + lastAnswer * ms, answers * ms }'
}

measure() {
  local name=$1 port=$2; shift 2
  local wire=0 exchange=0 process=0 answersOnly=0
  for _ in $(seq "$runs"); do
    local from=$(($(wc -l <"$work/sim.log") + 1))
    local start=$(date +%s%N)
    "$bin/orvikctl" --device "$port" "$@" >/dev/null 2>&1
    local end=$(date +%s%N)
    read -r w e a < <(measureLog "$work/sim.log" "$from")
    wire=$w answersOnly=$a
    exchange=$(awk -v a="$exchange" -v b="$e" 'BEGIN { print a + b }')
    process=$(awk -v a="$process" -v b="$(((end - start) / 1000))" 'BEGIN { print a + b / 1000 }')
  done
  awk -v n="$name" -v w="$wire" -v e="$exchange" -v p="$process" -v r="$runs" -v a="$answersOnly" 'BEGIN {
    e /= r; p /= r
    printf "%-22s wire %6.1f ms (answers %6.1f)   exchange %6.1f ms (%.2f x wire)   process %6.1f ms (%.2f x wire)\n", n, w, a, e, e / w, p, p / w }'
}

echo "orvikctl against orvik-sim --pace, mean of $runs runs:"
measure "orvikctl status" "$device" status
measure "orvikctl report" "$device" report

# The same through ser2net on a free port of 127.0.0.1, one server per kind (a server holds the device
# a moment after a connection ends, so two kinds on one device would turn each other away).
ser2net=$(command -v ser2net || echo /usr/sbin/ser2net)
listening() { grep -q "0100007F:$(printf %04X "$1") 00000000:0000 0A" /proc/net/tcp; }
if [ -x "$ser2net" ]; then
  for kind in tcp rfc2217; do
    port=$((20000 + RANDOM % 20000))
    while listening "$port"; do port=$((port + 1)); done
    accepter="tcp,127.0.0.1,$port"
    [ "$kind" = rfc2217 ] && accepter="telnet(rfc2217),$accepter"
    printf 'connection: &bench\n  accepter: %s\n  connector: serialdev,%s,9600n81,local\n' "$accepter" "$device" \
      >"$work/ser2net-$kind.yaml"
    "$ser2net" -n -u -P "$work/ser2net-$kind.pid" -c "$work/ser2net-$kind.yaml" >/dev/null 2>&1 &
    server=$!
    pids+=("$server")
    for _ in $(seq 100); do listening "$port" && break; sleep 0.05; done
    measure "$kind status" "$kind://127.0.0.1:$port" status
    measure "$kind report" "$kind://127.0.0.1:$port" report
    kill "$server"
    wait "$server" 2>/dev/null || true
  done
else
  echo "tcp and rfc2217: skipped (needs ser2net)"
fi

# The monitor's report window: opened with Ctrl+R once polling runs; measured from its tag read to the
# last answer it asks for.
if command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
  export XDG_RUNTIME_DIR=$work/xdg
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  exec 3< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null)
  pids+=($!)
  read -r display <&3
  export DISPLAY=:$display ORVIK_COMM1=$device
  printf '\001\000' >"$work/options.cfg"
  before=$(($(wc -l <"$work/sim.log") + 1))
  (cd "$work" && exec "$bin/orvik-monitor") &
  pids+=($!)
  # The main window polls and has the focus (there is no window manager): two polls answered.
  for _ in $(seq 300); do
    [ "$(tail -n +"$before" "$work/sim.log" | grep -c 'request 3E')" -ge 2 ] &&
      [ "$(xdotool getwindowfocus getwindowname 2>/dev/null)" = "Orvik Monitor" ] && break
    sleep 0.1
  done
  from=$(($(wc -l <"$work/sim.log") + 1))
  # Without a window manager the main window has the focus once it is shown.
  xdotool key ctrl+r
  for _ in $(seq 100); do grep -q 'request 42 03 74' <(tail -n +"$from" "$work/sim.log") && break; sleep 0.1; done
  sleep 0.5
  # Only the report's own requests: the polls between them are left out.
  read -r w e a < <(measureLog "$work/sim.log" "$from" 'request 3E')
  awk -v w="$w" -v e="$e" -v a="$a" 'BEGIN { printf "%-22s wire %6.1f ms (answers %6.1f)   exchange %6.1f ms (%.2f x wire)\n", "monitor report window", w, a, e, e / w }'
else
  echo "monitor report window: skipped (needs Xvfb and xdotool)"
fi
