#!/usr/bin/env bash
# Runs the libFuzzer targets for as long as asked: builds them (preset `fuzz`: clang with address and
# undefined-behaviour sanitizers), writes their seed corpora (the controller model's real answers,
# numbers as people type them, a backup file), then runs the targets side by side — the link's receive
# side, the number reader and the backup reader — and prints each one's executions.
#
#   scripts/fuzz.sh              # 60 seconds each (what CI runs)
#   scripts/fuzz.sh 3600         # an hour each
#   FUZZ_RUNS=5000000 scripts/fuzz.sh 0    # five million executions each, however long that takes
#   scripts/fuzz.sh 600 -max_len=192       # anything after the time goes to libFuzzer as it is
#
# Inputs that crash or fail a check are kept in build/fuzz/findings/<target>/; the corpora grow in
# build/fuzz/corpus/<target>/ from run to run. The exit status is non-zero when a target found anything.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=(receive_bytes valid_packets number_text backup_file)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
seeds=build/fuzz/seeds
rm -rf "$seeds"
build/fuzz/fuzz/orvik-fuzz-seeds "$seeds"

limits=(-max_total_time="$seconds")
[ -n "${FUZZ_RUNS:-}" ] && limits=(-runs="$FUZZ_RUNS")
pids=()
for t in "${targets[@]}"; do
  mkdir -p "build/fuzz/corpus/$t" "build/fuzz/findings/$t"
  "build/fuzz/fuzz/orvik_fuzz_$t" "${limits[@]}" "$@" -print_final_stats=1 \
    -artifact_prefix="build/fuzz/findings/$t/" "build/fuzz/corpus/$t" "$seeds/$t" \
    >"build/fuzz/$t.log" 2>&1 &
  pids+=($!)
done

status=0
for i in "${!targets[@]}"; do
  t=${targets[$i]}
  if ! wait "${pids[$i]}"; then
    status=1
    echo "fuzz $t: FINDING, see build/fuzz/$t.log and build/fuzz/findings/$t/" >&2
    grep -E "ERROR|fuzz check failed|SUMMARY" "build/fuzz/$t.log" >&2 || true
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "build/fuzz/$t.log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "build/fuzz/$t.log")
  echo "fuzz $t: ${runs:-?} executions, ${rate:-?} per second"
done
exit $status
