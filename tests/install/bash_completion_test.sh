#!/usr/bin/env bash
# The bash completion of orvikctl, sourced into this shell: what a Tab after each line offers.
#   bash_completion_test.sh COMPLETION_FILE
set -euo pipefail
file=$1
bash -n "$file"
# shellcheck source=/dev/null
source "$file"
[ "$(complete -p orvikctl)" = "complete -F _orvikctl orvikctl" ] ||
  { echo "FAILED: orvikctl is not registered" >&2; exit 1; }

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
touch "$folder/charger.csv" "$folder/other.txt"
cd "$folder"

# The line typed so far (a trailing space starts a new word) and the offers, sorted.
cases=(
  "orvikctl tr|trim"
  "orvikctl |backup cal-date help history read report reset-log restore service-report status tag trim undo watch"
  "orvikctl help t|tag trim"
  "orvikctl --c|--comm --comm1 --comm2 --comm3 --comm4"
  "orvikctl --comm |1 2 3 4"
  "orvikctl --comm 2 st|status"
  "orvikctl read b|battery-gain"
  "orvikctl read shutdown-b|shutdown-battery-temp shutdown-battery-volts"
  "orvikctl read 18 |--comm --comm1 --comm2 --comm3 --comm4 --device --help --service-db"
  "orvikctl trim |battery-temp battery-volts te-volts"
  "orvikctl trim --actual 12.5 b|battery-temp battery-volts"
  "orvikctl trim te-volts --a|--actual"
  "orvikctl trim te-volts --actual |"
  "orvikctl status --device /dev/null --j|--json"
  "orvikctl watch --i|--interval"
  "orvikctl watch --j|--json"
  "orvikctl tag BAY4 --y|--yes"
  "orvikctl watch --csv ch|charger.csv"
  "orvikctl cal-date 2026-12-07 --y|--yes"
  "orvikctl backup ch|charger.csv"
  "orvikctl restore charger.csv |--other-unit --yes"
)
failed=0
for c in "${cases[@]}"; do
  line=${c%%|*} want=${c#*|}
  read -r -a COMP_WORDS <<<"$line"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  _orvikctl
  got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | xargs)
  [ "$got" = "$want" ] || { echo "FAILED: '$line' offers '$got', not '$want'" >&2; failed=1; }
done
[ "$failed" -eq 0 ] || exit 1
echo "${#cases[@]} lines complete as expected"
