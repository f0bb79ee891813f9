#!/usr/bin/env bash
# Slicing throughput: the one-million-triangle torus (104 × 104 × 24 mm) at 50 µm layers on a
# 1920 × 1080 projector of 100 µm pixels, written as layer PNGs by orvell3d-cli; and, for
# comparison, the same model and layer height through prusa-slicer's SLA export when that
# program is installed (Debian package prusa-slicer; installed here on request only).
#   bench/slice/slice_bench.sh BUILD_DIR OUT_DIR [--install-peer]
set -euo pipefail
BUILD=$1
OUT=$2
INSTALL_PEER=${3:-}
CLI=$BUILD/src/cli/orvell3d-cli
MODEL=$OUT/torus_1m_binary.stl
LAYERS=$OUT/slice_layers
[ -s "$MODEL" ] || "$BUILD/bench/load/make_torus_stl" --triangles 1000000 "$MODEL" >/dev/null

now() { date +%s.%N; }
rate() { awk -v n="$1" -v t="$2" 'BEGIN { printf "%.1f", (t > 0 ? n / t : 0) }'; }

echo "slice: 1M-triangle torus, 50 µm layers, 1920 x 1080 px at 100 µm, PNG per layer"
export ORVELL3D_DATA_DIR=$OUT/data
t0=$(now)
report=$("$CLI" slice "$MODEL" --out "$LAYERS" --thickness 50 --projector 1920x1080 --pixel-size 100 --timings)
t1=$(now)
layers=$(find "$LAYERS" -name 'S*_P1.png' | wc -l)
ours=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }')
echo "$report" | sed 's/^/  /'
echo "  orvell3d-cli: $layers layers in $ours s (model read included): $(rate "$layers" "$ours") layers/s"
# Where a layer's time goes, from the run's own timings.
echo "$report" | awk -v n="$layers" '/^timings/ {
    gsub(/[,:]/, " ");
    printf "  per layer (ms):";
    for (i = 1; i <= NF; ++i) if ($i ~ /^[0-9.]+$/) { printf " %s %.2f", label, $i / n; label = "" } else if ($i != "timings" && $i != "(ms)") label = (label == "" ? $i : label " " $i);
    printf "\n" }'

if ! command -v prusa-slicer >/dev/null 2>&1 && [ "$INSTALL_PEER" = "--install-peer" ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "  installing prusa-slicer for the comparison" >&2
  $sudo apt-get install -y -qq --no-install-recommends prusa-slicer >/dev/null
fi
if ! command -v prusa-slicer >/dev/null 2>&1; then
  echo "  prusa-slicer: not installed (bench/run slice --install-peer installs it); no comparison"
  exit 0
fi
SL1=$OUT/torus_1m.sl1
rm -f "$SL1"
t0=$(now)
peer_cmd=(prusa-slicer --export-sla --printer-technology SLA --no-supports-enable --no-pad-enable
  --layer-height 0.05 --display-width 192 --display-height 108 --display-pixels-x 1920
  --display-pixels-y 1080 --display-orientation landscape --bed-shape 0x0,192x0,192x108,0x108
  --output "$SL1" "$MODEL")
"${peer_cmd[@]}" >"$OUT/prusa-slicer.log" 2>&1 || echo "  prusa-slicer failed; see $OUT/prusa-slicer.log"
t1=$(now)
peer=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }')
peerLayers=$(unzip -Z1 "$SL1" 2>/dev/null | grep -Ec '[0-9]{5}\.png$' || true)
echo "  prusa-slicer: $peerLayers layers in $peer s (model read included): $(rate "$peerLayers" "$peer") layers/s"
awk -v a="$layers" -v ta="$ours" -v b="$peerLayers" -v tb="$peer" 'BEGIN {
  ra = ta > 0 ? a / ta : 0; rb = tb > 0 ? b / tb : 0;
  if (rb > 0) printf "  ratio: orvell3d-cli / prusa-slicer = %.2f\n", ra / rb }'
