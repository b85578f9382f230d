#!/usr/bin/env bash
# The whole test suite from a fresh checkout: install what is missing, check formatting, configure,
# build with warnings as errors, and run every test tier (unit, scenario, serial, gui, e2e); then the
# same suite under address and undefined-behaviour sanitizers, and each fuzz target for a minute.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/check-format.sh
cmake --preset ci
cmake --build --preset ci
ctest --preset ci -j "$(nproc)"

cmake --preset asan
cmake --build --preset asan
ctest --preset asan -j "$(nproc)"

scripts/fuzz.sh 60
