#!/usr/bin/env bash
# Runs two commands alternately N times and prints the median wall time of each and their ratio.
#   paired_runs.sh N "COMMAND A" "COMMAND B"
set -euo pipefail
n=$1 a=$2 b=$3
label() { local first=${1%% *} last=${1##* }; echo "${first##*/} ${1#* }" | sed "s|$last|${last##*/}|"; }
wall() {   # seconds of one run, output discarded
  local start end
  start=$(date +%s.%N)
  $1 >/dev/null 2>&1
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN {printf "%.6f\n", b - a}'
}
ta=() tb=()
for ((i = 0; i < n; ++i)); do
  ta+=("$(wall "$a")")
  tb+=("$(wall "$b")")
done
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
ma=$(median "${ta[@]}") mb=$(median "${tb[@]}")
printf '  %-60s median %.3f s\n  %-60s median %.3f s\n  ratio %.2f\n' "$(label "$a")" "$ma" "$(label "$b")" "$mb" \
  "$(awk -v a="$ma" -v b="$mb" 'BEGIN {print a / b}')"
