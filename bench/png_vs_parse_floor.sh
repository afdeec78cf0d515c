#!/usr/bin/env bash
# A whole picture against the floor of reading its data: the time of the whole process
# `scatterview-render --max-rows ROWS FILE OUT.png` (points, and lines) beside one plain one-thread
# fast_float pass over the same file in memory into three reserved columns (build/parse_floor, which
# times the parse alone). The ROWS-row Lorenz file is made once and read once so that it sits in the
# page cache; then RUNS rounds alternate the pictures and the pass, so that a shared machine's swings
# fall on both. Every picture runs under /usr/bin/time -v for its peak RSS.
#
#   bench/png_vs_parse_floor.sh [BUILD_DIR] [ROWS] [RUNS]     (defaults: build, 10000000, 5)
#
# RENDER_OPTIONS adds options to every picture (e.g. RENDER_OPTIONS=--no-fit). The view is the
# starting settings' (packaging/config.ini: FIT=2), whatever build/config.ini holds now.
# Targets: picture / pass <= 0.8 x (the median of the rounds' ratios); peak RSS < 2 x the columns
# (24 bytes a row) + 64 MB: 544 MB at 10 000 000 rows. Not part of ctest.
set -euo pipefail
if [[ $# -gt 3 || ${1:-} = -h || ${1:-} = --help ]]; then
  echo "usage: $0 [BUILD_DIR] [ROWS] [RUNS]   (defaults: build, 10000000, 5)" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
rows=${2:-10000000}
runs=${3:-5}
for file in scatterview-render make_dataset parse_floor data/font.dds; do
  [ -e "$build/$file" ] || { echo "png_vs_parse_floor: $build/$file is missing; build first" >&2; exit 2; }
done
[ -x /usr/bin/time ] || { echo "png_vs_parse_floor: /usr/bin/time is missing (Debian package time)" >&2; exit 2; }
read -r -a options <<<"${RENDER_OPTIONS:-}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/make_dataset" lorenz "$rows" "$work/lorenz.csv" >/dev/null
cat "$work/lorenz.csv" >/dev/null  # into the page cache: both sides start from memory
cp "$here/packaging/config.ini" "$work/config.ini"

modes=(points)
"$build/scatterview-render" --help 2>&1 | grep -q -- '--lines' && modes+=(lines)

# Seconds of one whole picture in MODE; its peak RSS in kB goes to $work/rss-MODE.
picture() {
  local mode=$1 start end
  start=$(date +%s.%N)
  /usr/bin/time -v -o "$work/time" "$build/scatterview-render" --config "$work/config.ini" \
    --max-rows "$rows" "--$mode" "${options[@]}" "$work/lorenz.csv" "$work/out.png" 2>"$work/err" ||
    { echo "png_vs_parse_floor: the $mode picture failed:" >&2; cat "$work/err" >&2; head -n1 "$work/time" >&2; exit 1; }
  end=$(date +%s.%N)
  awk '/Maximum resident set size/ { print $NF }' "$work/time" >"$work/rss-$mode"
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}
pass() {
  "$build/parse_floor" "$work/lorenz.csv" 2>"$work/err" ||
    { echo "png_vs_parse_floor: parse_floor failed:" >&2; cat "$work/err" >&2; exit 1; }
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "inf" }'; }
megabytes() { awk -v k="$1" 'BEGIN { printf "%.0f", k * 1024 / 1e6 }'; }
median() { sort -g | awk '{ v[NR] = $1 } END { printf "%.2f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "scatterview-render --max-rows $rows${options[*]:+ ${options[*]}} (the starting settings' view) against one fast_float pass;" \
  "$rows Lorenz rows ($(du -h "$work/lorenz.csv" | cut -f1)), $runs rounds"
declare -A ratios=() peak=()
for mode in "${modes[@]}"; do peak[$mode]=0; done
for round in $(seq "$runs"); do
  line="round $round:"
  declare -A took=()
  for mode in "${modes[@]}"; do
    took[$mode]=$(picture "$mode")
    rss=$(cat "$work/rss-$mode")
    [ "$rss" -gt "${peak[$mode]}" ] && peak[$mode]=$rss
    line+=" $mode ${took[$mode]} s ($(megabytes "$rss") MB),"
  done
  floor=$(pass)
  line+=" pass $floor s:"
  for mode in "${modes[@]}"; do
    r=$(ratio "${took[$mode]}" "$floor")
    ratios[$mode]+="$r"$'\n'
    line+=" $mode $r ×"
  done
  echo "$line"
done
for mode in "${modes[@]}"; do
  m=$(printf '%s' "${ratios[$mode]}" | median)
  echo "picture / pass, $mode: median $m × of $runs rounds (target <= 0.8 ×)"
done
limit=$(awk -v n="$rows" 'BEGIN { printf "%.0f", 2 * 24 * n / 1e6 + 64 }')
for mode in "${modes[@]}"; do
  echo "peak RSS, $mode: $(megabytes "${peak[$mode]}") MB, the largest of $runs runs (/usr/bin/time -v; target < $limit MB)"
done
echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg), $(date -u +%Y-%m-%d)"
