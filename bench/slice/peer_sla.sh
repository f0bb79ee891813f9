# Shared by the slicing and package benchmarks: prusa-slicer's SLA export of a model at 50 µm
# layers on a 1920 x 1080 display of 100 µm pixels, the settings our runs use.
#   source bench/slice/peer_sla.sh
#   bench_setup "$@"                  the common arguments BUILD_DIR OUT_DIR [--install-peer] [--no-reference];
#                                     sets BUILD, OUT, INSTALL_PEER, RENDERERS, CLI, MODEL and makes the model once
#   peer_install_if_asked "$flag"     installs the Debian package with apt-get for --install-peer
#   peer_run MODEL OUT.sl1 LOG [W H UM]  runs the export (on a W × H display of UM µm pixels,
#                                     default 1920 1080 100); sets PEER_SECONDS, PEER_LAYERS, PEER_PEAK_MB

bench_setup() {
  BUILD=$1
  OUT=$2
  shift 2
  INSTALL_PEER=""
  RENDERERS="cpu gpu reference"
  for a in "$@"; do
    case "$a" in
      --install-peer) INSTALL_PEER=$a ;;
      --no-reference) RENDERERS="cpu gpu" ;;
    esac
  done
  CLI=$BUILD/src/cli/orvell3d-cli
  MODEL=$OUT/torus_1m_binary.stl
  [ -s "$MODEL" ] || "$BUILD/bench/load/make_torus_stl" --triangles 1000000 "$MODEL" >/dev/null
}

peer_install_if_asked() {
  if ! command -v prusa-slicer >/dev/null 2>&1 && [ "${1:-}" = "--install-peer" ]; then
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    echo "  installing prusa-slicer for the comparison" >&2
    $sudo apt-get install -y -qq --no-install-recommends prusa-slicer >/dev/null
  fi
}

peer_available() { command -v prusa-slicer >/dev/null 2>&1; }

# Runs a command; sets RUN_SECONDS and RUN_PEAK_MB (empty without GNU time).
timed_run() {
  local log=$1 t0 t1 peak=""
  shift
  local memfile
  memfile=$(mktemp)
  t0=$(date +%s.%N)
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -f "%M" -o "$memfile" "$@" >"$log" 2>&1 || RUN_STATUS=$?
  else
    "$@" >"$log" 2>&1 || RUN_STATUS=$?
  fi
  t1=$(date +%s.%N)
  [ -s "$memfile" ] && peak=$(awk 'END { printf "%.0f", $1 / 1024 }' "$memfile")
  rm -f "$memfile"
  RUN_SECONDS=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }')
  RUN_PEAK_MB=$peak
}

peer_run() {
  local model=$1 sl1=$2 log=$3 px=${4:-1920} py=${5:-1080} um=${6:-100}
  local wmm hmm
  wmm=$(awk -v n="$px" -v u="$um" 'BEGIN { printf "%g", n * u / 1000 }')
  hmm=$(awk -v n="$py" -v u="$um" 'BEGIN { printf "%g", n * u / 1000 }')
  rm -f "$sl1"
  RUN_STATUS=0
  timed_run "$log" prusa-slicer --export-sla --printer-technology SLA --no-supports-enable --no-pad-enable \
    --layer-height 0.05 --display-width "$wmm" --display-height "$hmm" --display-pixels-x "$px" \
    --display-pixels-y "$py" --display-orientation landscape --bed-shape "0x0,${wmm}x0,${wmm}x${hmm},0x${hmm}" \
    --output "$sl1" "$model"
  [ "$RUN_STATUS" -eq 0 ] || echo "  prusa-slicer failed; see $log"
  PEER_SECONDS=$RUN_SECONDS
  PEER_PEAK_MB=$RUN_PEAK_MB
  PEER_LAYERS=$(unzip -Z1 "$sl1" 2>/dev/null | grep -Ec '[0-9]{5}\.png$' || true)
}
