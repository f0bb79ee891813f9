#!/usr/bin/env bash
# Slicing throughput: the one-million-triangle torus (104 × 104 × 24 mm) at 50 µm layers on a
# 1920 × 1080 projector of 100 µm pixels, written as layer PNGs by orvell3d-cli with each
# cross-section renderer; and, for comparison, the same model and layer height through
# prusa-slicer's SLA export when that program is installed (Debian package prusa-slicer;
# installed here on request only).
#   bench/slice/slice_bench.sh BUILD_DIR OUT_DIR [--install-peer] [--no-reference]
set -euo pipefail
# shellcheck source=peer_sla.sh
source "$(dirname "$0")/peer_sla.sh"
bench_setup "$@"
LAYERS=$OUT/slice_layers

rate() { awk -v n="$1" -v t="$2" 'BEGIN { printf "%.1f", (t > 0 ? n / t : 0) }'; }

echo "slice: 1M-triangle torus, 50 µm layers, 1920 x 1080 px at 100 µm, PNG per layer"
export ORVELL3D_DATA_DIR=$OUT/data
declare -A seconds
for r in $RENDERERS; do
  RUN_STATUS=0
  timed_run "$OUT/slice_$r.log" "$CLI" slice "$MODEL" --out "$LAYERS" --thickness 50 --projector 1920x1080 \
    --pixel-size 100 --timings --renderer "$r"
  [ "$RUN_STATUS" -eq 0 ] || { echo "  $r: orvell3d-cli failed; see $OUT/slice_$r.log"; continue; }
  layers=$(find "$LAYERS" -name 'S*_P1.png' | wc -l)
  seconds[$r]=$RUN_SECONDS
  echo "  $r: $layers layers in $RUN_SECONDS s (model read included): $(rate "$layers" "$RUN_SECONDS") layers/s," \
    "peak ${RUN_PEAK_MB:-?} MB"
  # Where a layer's time goes, from the run's own timings (summed over threads).
  awk -v n="$layers" '/^timings/ {
      gsub(/[,:]/, " ");
      printf "    per layer (ms):";
      for (i = 1; i <= NF; ++i) if ($i ~ /^[0-9.]+$/) { printf " %s %.2f", label, $i / n; label = "" } else if ($i != "timings" && $i != "(ms)") label = (label == "" ? $i : label " " $i);
      printf "\n" }' "$OUT/slice_$r.log"
done
if [ -n "${seconds[reference]:-}" ]; then
  for r in cpu gpu; do
    [ -n "${seconds[$r]:-}" ] &&
      awk -v r="$r" -v a="${seconds[reference]}" -v b="${seconds[$r]}" \
        'BEGIN { printf "  %s is %.1f times as fast as the reference pass\n", r, a / b }'
  done
fi

peer_install_if_asked "$INSTALL_PEER"
if ! peer_available; then
  echo "  prusa-slicer: not installed (bench/run slice --install-peer installs it); no comparison"
  exit 0
fi
peer_run "$MODEL" "$OUT/torus_1m.sl1" "$OUT/prusa-slicer.log"
echo "  prusa-slicer: $PEER_LAYERS layers in $PEER_SECONDS s (model read included):" \
  "$(rate "$PEER_LAYERS" "$PEER_SECONDS") layers/s, peak ${PEER_PEAK_MB:-?} MB"
if [ -n "${seconds[cpu]:-}" ]; then
  awk -v a="${seconds[cpu]}" -v b="$PEER_SECONDS" 'BEGIN { printf "  cpu time / prusa-slicer time = %.2f\n", a / b }'
fi
