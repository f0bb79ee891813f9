#!/usr/bin/env bash
# Model to finished print package: the one-million-triangle torus at 50 µm layers on a
# 1920 × 1080 projector of 100 µm pixels, `orvell3d-cli slice -o PACKAGE.lpk` with each
# cross-section renderer (reading, slicing, post-processing, encoding, previews, packing), beside
# prusa-slicer's SLA export of the same model when that is installed (--install-peer installs it).
# Targets: the processor renderer in at most half the peer's time, the GPU renderer at least
# ten times as fast as the reference pass, at most 400 MB peak memory.
#   bench/package/package_bench.sh BUILD_DIR OUT_DIR [--install-peer] [--no-reference]
set -euo pipefail
# shellcheck source=../slice/peer_sla.sh
source "$(dirname "$0")/../slice/peer_sla.sh"
bench_setup "$@"

echo "package: 1M-triangle torus to a finished .lpk, 50 µm layers, 1920 x 1080 px at 100 µm"
export ORVELL3D_DATA_DIR=$OUT/data
# One model-to-package run: package_run LOG_NAME MODEL PROJECTOR PIXEL_UM RENDERER. Prints its
# figures and sets RUN_SECONDS and RUN_PEAK_MB ("?" when unknown); status 1 when it failed.
package_run() {
  local log=$OUT/$1.log
  RUN_STATUS=0
  timed_run "$log" "$CLI" slice "$2" -o "$OUT/$1.lpk" --thickness 50 \
    --projector "$3" --pixel-size "$4" --timings --renderer "$5"
  rm -f "$OUT/$1_z50.lpk"
  [ "$RUN_STATUS" -eq 0 ] || { echo "  $5: orvell3d-cli failed; see $log"; return 1; }
  RUN_PEAK_MB=${RUN_PEAK_MB:-?}
  local images
  images=$(sed -n 's/.*(\([0-9]*\) images.*/\1/p' "$log")
  echo "  $5: $images layers, model to package in $RUN_SECONDS s, peak $RUN_PEAK_MB MB"
  sed -n 's/^timings (ms): /    where the time went (ms, summed over threads): /p' "$log"
}

declare -A seconds peak
for r in $RENDERERS; do
  package_run "package_$r" "$MODEL" 1920x1080 100 "$r" || continue
  seconds[$r]=$RUN_SECONDS
  peak[$r]=$RUN_PEAK_MB
done

peer_install_if_asked "$INSTALL_PEER"
if peer_available; then
  peer_run "$MODEL" "$OUT/torus_1m.sl1" "$OUT/prusa-slicer.log"
  echo "  prusa-slicer --export-sla: $PEER_LAYERS layers in $PEER_SECONDS s, peak ${PEER_PEAK_MB:-?} MB"
else
  echo "  prusa-slicer: not installed (bench/run package --install-peer installs it); no comparison"
fi

verdict() { if [ "$1" = 1 ]; then echo "met"; else echo "NOT met"; fi; }
if [ -n "${seconds[cpu]:-}" ] && [ -n "${PEER_SECONDS:-}" ]; then
  ok=$(awk -v a="${seconds[cpu]}" -v b="$PEER_SECONDS" 'BEGIN { print (a <= b / 2) ? 1 : 0 }')
  awk -v a="${seconds[cpu]}" -v b="$PEER_SECONDS" -v v="$(verdict "$ok")" \
    'BEGIN { printf "  target cpu <= 1/2 of prusa-slicer: %.2f s vs %.2f s (ratio %.2f): %s\n", a, b / 2, a / b, v }'
fi
if [ -n "${seconds[gpu]:-}" ] && [ -n "${seconds[reference]:-}" ]; then
  ok=$(awk -v a="${seconds[gpu]}" -v b="${seconds[reference]}" 'BEGIN { print (b >= 10 * a) ? 1 : 0 }')
  awk -v a="${seconds[gpu]}" -v b="${seconds[reference]}" -v v="$(verdict "$ok")" \
    'BEGIN { printf "  target gpu >= 10 x reference: %.1f times as fast: %s\n", b / a, v }'
fi
for r in cpu gpu; do
  if [ -n "${peak[$r]:-}" ] && [ "${peak[$r]}" != "?" ]; then
    echo "  target peak memory <= 400 MB ($r): ${peak[$r]} MB: $(verdict "$([ "${peak[$r]}" -le 400 ] && echo 1)")"
  fi
done

# The 12K panel: 11520 × 5120 px of 19 µm, 50 µm layers. Its plate is 97 mm deep, so the torus
# is scaled by 0.9 (93.6 mm across). The stencil pass refuses panels this size; the processor
# and the GPU fill (tile by tile where the driver's framebuffer is smaller) slice it.
# Targets: at most half the peer's time, at most 1 GB peak. --no-12k skips this part.
case " $* " in *" --no-12k "*) exit 0 ;; esac
MODEL12=$OUT/torus_1m_scale09.stl
[ -s "$MODEL12" ] || "$BUILD/bench/load/make_torus_stl" --scale 0.9 --triangles 1000000 "$MODEL12" >/dev/null
echo "package 12K: 1M-triangle torus (0.9 scale) to a finished .lpk, 50 µm layers, 11520 x 5120 px at 19 µm"
declare -A seconds12 peak12
for r in cpu gpu; do
  package_run "package12k_$r" "$MODEL12" 11520x5120 19 "$r" || continue
  seconds12[$r]=$RUN_SECONDS
  peak12[$r]=$RUN_PEAK_MB
done
PEER_SECONDS=""
if peer_available; then
  peer_run "$MODEL12" "$OUT/torus12k.sl1" "$OUT/prusa-slicer-12k.log" 11520 5120 19
  echo "  prusa-slicer --export-sla: $PEER_LAYERS layers in $PEER_SECONDS s, peak ${PEER_PEAK_MB:-?} MB"
  rm -f "$OUT/torus12k.sl1"
fi
for r in cpu gpu; do
  [ -n "${seconds12[$r]:-}" ] || continue
  if [ -n "${PEER_SECONDS:-}" ]; then
    ok=$(awk -v a="${seconds12[$r]}" -v b="$PEER_SECONDS" 'BEGIN { print (a <= b / 2) ? 1 : 0 }')
    awk -v r="$r" -v a="${seconds12[$r]}" -v b="$PEER_SECONDS" -v v="$(verdict "$ok")" \
      'BEGIN { printf "  target 12K %s <= 1/2 of prusa-slicer: %.2f s vs %.2f s (ratio %.2f): %s\n", r, a, b / 2, a / b, v }'
  fi
  if [ "${peak12[$r]}" != "?" ]; then
    echo "  target 12K peak memory <= 1024 MB ($r): ${peak12[$r]} MB: $(verdict "$([ "${peak12[$r]}" -le 1024 ] && echo 1)")"
  fi
done
