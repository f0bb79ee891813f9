#!/usr/bin/env bash
# Hollowing's cost in the model-to-package run: the one-million-triangle torus at 50 µm layers
# on a 1920 × 1080 projector of 100 µm pixels, `orvell3d-cli slice -o PACKAGE.lpk` without and
# with `--hollow 2` (a 2 mm wall: 20 pixels, 40 layers), runs alternating so the machine's load
# falls on both alike; the median of each is compared.
# Target: hollowing adds at most 50 % to the model-to-package time.
#   bench/analysis/hollow_bench.sh BUILD_DIR OUT_DIR [RUNS] [RENDERER...]
set -euo pipefail
# shellcheck source=../slice/peer_sla.sh
source "$(dirname "$0")/../slice/peer_sla.sh"
bench_setup "$1" "$2"
RUNS=${3:-3}
shift $(( $# < 3 ? $# : 3 ))
RENDERER_LIST=${*:-cpu gpu}

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.2f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "hollowing: 1M-triangle torus to a finished .lpk, 50 µm layers, 1920 x 1080 px at 100 µm, wall 2 mm"
echo "  load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
export ORVELL3D_DATA_DIR=$OUT/data
for r in $RENDERER_LIST; do
  plain=() hollow=() peaks=() plainPeaks=()
  for ((i = 1; i <= RUNS; ++i)); do
    for kind in plain hollow; do
      extra=()
      [ "$kind" = hollow ] && extra=(--hollow 2)
      RUN_STATUS=0
      timed_run "$OUT/hollow_${r}_$kind.log" "$CLI" slice "$MODEL" -o "$OUT/torus_${r}_$kind.lpk" --thickness 50 \
        --projector 1920x1080 --pixel-size 100 --timings --renderer "$r" "${extra[@]}"
      if [ "$RUN_STATUS" -ne 0 ]; then
        echo "  $r $kind: orvell3d-cli failed; see $OUT/hollow_${r}_$kind.log"
        continue 3
      fi
      if [ "$kind" = plain ]; then
        plain+=("$RUN_SECONDS"); plainPeaks+=("${RUN_PEAK_MB:-0}")
      else
        hollow+=("$RUN_SECONDS"); peaks+=("${RUN_PEAK_MB:-0}")
      fi
    done
  done
  p=$(printf '%s\n' "${plain[@]}" | median)
  h=$(printf '%s\n' "${hollow[@]}" | median)
  peak=$(printf '%s\n' "${peaks[@]}" | sort -n | tail -1)
  plainPeak=$(printf '%s\n' "${plainPeaks[@]}" | sort -n | tail -1)
  echo "  $r: without hollowing ${plain[*]} s (median $p, peak $plainPeak MB),"
  echo "     with ${hollow[*]} s (median $h, peak $peak MB)"
  awk -v p="$p" -v h="$h" 'BEGIN { r = h / p; printf "  target hollowing adds <= 50 %% (%s): %+.0f %%: %s\n", "'"$r"'", (r - 1) * 100, (r <= 1.5) ? "met" : "NOT met" }'
done
echo "  load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
