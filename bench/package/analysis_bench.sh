#!/usr/bin/env bash
# What island detection and the resin and time estimate add to a model-to-package run: the
# one-million-triangle torus at 50 µm layers on a 1920 × 1080 projector of 100 µm pixels, sliced
# into a package with and without `--no-analysis`, alternately, N times each (default 5); the
# medians are compared. Target: at most 5 % more time with the analysis.
#   bench/package/analysis_bench.sh BUILD_DIR OUT_DIR [N] [--renderer NAME]
set -euo pipefail
BUILD=$1 OUT=$2
shift 2
N=5 RENDERER=cpu
while [ $# -gt 0 ]; do
  case "$1" in
    --renderer) RENDERER=$2; shift ;;
    *) N=$1 ;;
  esac
  shift
done
CLI=$BUILD/src/cli/orvell3d-cli
MODEL=$OUT/torus_1m_binary.stl
[ -s "$MODEL" ] || "$BUILD/bench/load/make_torus_stl" --triangles 1000000 "$MODEL" >/dev/null
export ORVELL3D_DATA_DIR=$OUT/data

run() {   # wall seconds of one run; its summary is kept in $OUT/analysis_$1.log
  local start end
  start=$(date +%s.%N)
  "$CLI" slice "$MODEL" -o "$OUT/torus_analysis.lpk" --thickness 50 --projector 1920x1080 --pixel-size 100 \
    --renderer "$RENDERER" $2 >"$OUT/analysis_$1.log" 2>&1
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f\n", b - a }'
}
echo "analysis: islands and estimates on the 1M-triangle torus to .lpk, 1920 x 1080 at 100 µm, $RENDERER renderer, $N paired runs"
with=() without=()
for ((i = 0; i < N; ++i)); do
  with+=("$(run with "")")
  without+=("$(run without --no-analysis)")
done
rm -f "$OUT"/torus_analysis_z50.lpk
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
mw=$(median "${with[@]}") mo=$(median "${without[@]}")
sed -n '2,3s/^/  the run says: /p' "$OUT/analysis_with.log"
echo "  with analysis: ${with[*]} s (median $mw s)"
echo "  without:       ${without[*]} s (median $mo s)"
awk -v a="$mw" -v b="$mo" 'BEGIN {
  extra = (a / b - 1) * 100
  printf "  target analysis adds <= 5 %%: %+.1f %%: %s\n", extra, (extra <= 5 ? "met" : "NOT met") }'
