#!/usr/bin/env bash
# The whole test suite from a fresh checkout: install what is missing, check formatting, configure,
# build with warnings as errors, check that orvik-monitor stays portable, build the Debian package and
# try it (install, run from its menu entry, remove), run every test tier (unit, scenario, serial, gui,
# e2e, install) and the scenario tier again under a comma-decimal locale; then the same suite under
# address and undefined-behaviour sanitizers, and each fuzz target for a minute.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/check-format.sh
cmake --preset ci
cmake --build --preset ci
scripts/check-portable.sh build/ci
scripts/test-package.sh
ctest --preset ci -j "$(nproc)"
# Once more as on a desktop whose decimal mark is a comma.
LC_ALL=de_DE.UTF-8 ctest --preset ci -L scenario -j "$(nproc)"

cmake --preset asan
cmake --build --preset asan
ctest --preset asan -j "$(nproc)"

scripts/fuzz.sh 60
