#!/usr/bin/env bash
# Runs the bench simulator: seeded schedules of controller faults and a technician's keys over the
# monitor's windows and orvikctl's commands, on the virtual clock, the invariants checked after every
# event, until SECONDS of wall-clock time are spent.
#   scripts/simulate.sh 60              one minute of schedules from a seed of the clock
#   scripts/simulate.sh 3600 --seed 7   an hour from seed 7
#   scripts/simulate.sh --replay 394    seed 394 again, every event printed
# A failing schedule prints its seed, its last events and the fewest of its actions that still fail.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
[ -f build/ci/CMakeCache.txt ] || cmake --preset ci >/dev/null
cmake --build --preset ci --target orvik-simulate >/dev/null
exec build/ci/tests/orvik-simulate "$@"
