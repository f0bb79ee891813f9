#!/usr/bin/env bash
# Model to print package at three panel sizes: the one-million-triangle torus at half size
# (52 × 52 × 12 mm, so it fits the smallest of these panels; 240 layers of 50 µm),
# `orvell3d-cli slice -o PACKAGE.lpk` with the processor renderer (reading, slicing,
# post-processing, encoding, previews, packing) against prusa-slicer's SLA export with the same
# display size, pixel count and layer height, in the same run.
# Targets: our time at most 0.25 of the peer's at 1920 x 1080 and at most 0.3 at 3840 x 2400
# and 11520 x 5120; peak memory at most 400 MB, 400 MB and 1 GB.
#   bench/slice/scaling_bench.sh BUILD_DIR OUT_DIR [--install-peer]
set -euo pipefail
# shellcheck source=peer_sla.sh
source "$(dirname "$0")/peer_sla.sh"
bench_setup "$@"
MODEL=$OUT/torus_1m_half.stl
[ -s "$MODEL" ] || "$BUILD/bench/load/make_torus_stl" --triangles 1000000 --scale 0.5 "$MODEL" >/dev/null
export ORVELL3D_DATA_DIR=$OUT/data
peer_install_if_asked "$INSTALL_PEER"

verdict() { if [ "$1" = 1 ]; then echo "met"; else echo "NOT met"; fi; }

echo "scaling: 1M-triangle torus (52 mm) to a package, 50 µm layers, processor renderer against prusa-slicer --export-sla"
echo "  (load average before: $(cut -d' ' -f1-3 /proc/loadavg))"
# width height pixel-µm ratio-target peak-target-MB
for panel in "1920 1080 50 0.25 400" "3840 2400 35 0.3 400" "11520 5120 19 0.3 1024"; do
  read -r w h um ratioTarget peakTarget <<<"$panel"
  name="${w}x${h}"
  RUN_STATUS=0
  timed_run "$OUT/scaling_$name.log" "$CLI" slice "$MODEL" -o "$OUT/scaling_$name.lpk" --thickness 50 \
    --projector "$name" --pixel-size "$um" --renderer cpu --timings
  if [ "$RUN_STATUS" -ne 0 ]; then
    echo "  $name: orvell3d-cli failed; see $OUT/scaling_$name.log"
    continue
  fi
  ours=$RUN_SECONDS
  oursPeak=${RUN_PEAK_MB:-?}
  images=$(sed -n 's/.*(\([0-9]*\) images.*/\1/p' "$OUT/scaling_$name.log")
  echo "  $name at $um µm: orvell3d-cli $images layers in $ours s, peak $oursPeak MB"
  sed -n 's/^timings (ms): /    where the time went (ms, summed over threads): /p' "$OUT/scaling_$name.log"
  if peer_available; then
    peer_run "$MODEL" "$OUT/scaling_$name.sl1" "$OUT/scaling_${name}_peer.log" "$w" "$h" "$um"
    echo "    prusa-slicer: $PEER_LAYERS layers in $PEER_SECONDS s, peak ${PEER_PEAK_MB:-?} MB"
    ok=$(awk -v a="$ours" -v b="$PEER_SECONDS" -v t="$ratioTarget" 'BEGIN { print (b > 0 && a / b <= t) ? 1 : 0 }')
    awk -v a="$ours" -v b="$PEER_SECONDS" -v t="$ratioTarget" -v v="$(verdict "$ok")" \
      'BEGIN { printf "    target time <= %s of prusa-slicer: ratio %.2f: %s\n", t, (b > 0 ? a / b : 0), v }'
    rm -f "$OUT/scaling_$name.sl1"
  else
    echo "    prusa-slicer: not installed (bench/run scaling --install-peer installs it); no comparison"
  fi
  if [ "$oursPeak" != "?" ]; then
    echo "    target peak memory <= $peakTarget MB: $oursPeak MB: $(verdict "$([ "$oursPeak" -le "$peakTarget" ] && echo 1)")"
  fi
  rm -f "$OUT"/scaling_"$name"*.lpk
done
echo "  (load average after: $(cut -d' ' -f1-3 /proc/loadavg))"
