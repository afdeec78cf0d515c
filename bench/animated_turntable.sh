#!/usr/bin/env bash
# A 36-frame animated turntable of 150 000 Lorenz rows against the 36 PNG pictures of the same
# turntable: scatterview-render --turntable 36 to spin.gif (and spin.webp) against spin.png, as whole
# processes, in alternated rounds. Prints each round's times, the median ratio of GIF to PNG time,
# and the sizes: the GIF file against the 36 PNG files together.
#
#   bench/animated_turntable.sh [BUILD_DIR] [ROUNDS]      (defaults: build, 7)
#
# Targets: the GIF in at most 2 x the PNG turntable's time, and no larger than its files together.
# Not part of ctest.
set -euo pipefail
if [[ $# -gt 2 || ${1:-} = -h || ${1:-} = --help ]]; then
  echo "usage: $0 [BUILD_DIR] [ROUNDS]   (defaults: build, 7)" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
rounds=${2:-7}
for file in scatterview-render make_dataset data/font.dds; do
  [ -e "$build/$file" ] || { echo "animated_turntable: $build/$file is missing; build first" >&2; exit 2; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/make_dataset" lorenz 150000 "$work/lorenz.csv" >/dev/null
: >"$work/empty.ini"  # the default view, whatever build/config.ini holds

# Wall-clock seconds of one turntable to $1.
one() {
  local start end
  start=$(date +%s.%N)
  "$build/scatterview-render" --config "$work/empty.ini" --turntable 36 "$work/lorenz.csv" "$work/$1" >/dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.3f", m }'; }

printf '%-6s %8s %8s %8s %9s\n' round png gif webp gif/png
ratios=() pngs=() gifs=() webps=()
for round in $(seq "$rounds"); do
  png=$(one spin.png)
  gif=$(one spin.gif)
  webp=$(one spin.webp)
  ratio=$(awk -v a="$gif" -v b="$png" 'BEGIN { printf "%.2f", a / b }')
  ratios+=("$ratio") pngs+=("$png") gifs+=("$gif") webps+=("$webp")
  printf '%-6s %7ss %7ss %7ss %8s×\n' "$round" "$png" "$gif" "$webp" "$ratio"
done
png_bytes=$(cat "$work"/spin-0*.png | wc -c)
gif_bytes=$(wc -c <"$work/spin.gif")
webp_bytes=$(wc -c <"$work/spin.webp")
echo "median: png $(printf '%s\n' "${pngs[@]}" | median) s, gif $(printf '%s\n' "${gifs[@]}" | median) s," \
  "webp $(printf '%s\n' "${webps[@]}" | median) s; gif/png $(printf '%s\n' "${ratios[@]}" | median) × (target ≤ 2)"
echo "sizes: 36 PNG files $png_bytes bytes, GIF $gif_bytes ($(awk -v a="$gif_bytes" -v b="$png_bytes" \
  'BEGIN { printf "%.2f", a / b }') × the PNGs, target ≤ 1), WebP $webp_bytes"
echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg), $(date -u +%Y-%m-%d)"
