#!/usr/bin/env bash
# Times scatterview-render against gnuplot (pngcairo) and matplotlib (Agg, mplot3d) as whole
# processes, each drawing the same 150 000-row file to a 640 x 480 PNG: the Lorenz trajectory and
# random points in a cube of side 200, as points and as lines, a 36-picture turntable of points
# (ours: --turntable 36; gnuplot and matplotlib: the 36 views in one process of their own), and the
# same turntable as one looping GIF at 20 frames a second (ours: to spin.gif; gnuplot: its
# `gif animate` terminal; matplotlib: FuncAnimation saved with Pillow); then
# Lorenz trajectories of 1 000 000 and 10 000 000 rows as points and lines (ours with --max-rows).
# Prints the median wall-clock time of RUNS runs of each, and how many times slower each peer is.
# At a million rows and more each peer runs once, ended after PEER_LIMIT seconds (120 unless set) and
# shown as "over N s" (its ratio then a lower bound, ">"). SKIP_10M=1 leaves the 10 000 000 rows out
# (up to 8 minutes of peers at the default limit).
#
#   bench/compare_peers.sh [BUILD_DIR] [RUNS]      (defaults: build, 3)
#
# Targets: one picture at least 10 x faster than gnuplot (both modes, both data sets); the turntable
# at least 50 x faster than gnuplot's; the animated one at least 10 x. Installs the peers it needs (scripts/install_packages.sh
# peers). Not part of ctest.
set -euo pipefail
if [[ $# -gt 2 || ${1:-} = -h || ${1:-} = --help ]]; then
  echo "usage: $0 [BUILD_DIR] [RUNS]   (defaults: build, 3; PEER_LIMIT=120 seconds, SKIP_10M=0)" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
runs=${2:-3}
rows=150000
for file in scatterview-render make_dataset data/font.dds; do
  [ -e "$build/$file" ] || { echo "compare_peers: $build/$file is missing; build first" >&2; exit 2; }
done
"$here/scripts/install_packages.sh" peers
python=/usr/bin/python3  # Debian's, where python3-matplotlib lives (not any other python on PATH)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/make_dataset" lorenz "$rows" "$work/lorenz.csv" >/dev/null
"$build/make_dataset" cube "$rows" "$work/cube.csv" >/dev/null
peer_limit=${PEER_LIMIT:-120}
large=(1000000)
[ "${SKIP_10M:-0}" = 1 ] || large+=(10000000)
for n in "${large[@]}"; do "$build/make_dataset" lorenz "$n" "$work/lorenz$n.csv" >/dev/null; done
# Our tool reads the view from a config.ini; an empty one gives the defaults, whatever build/ holds.
: >"$work/empty.ini"

cat >"$work/one.gp" <<'GP'
set terminal pngcairo size 640,480
set output OUT
set datafile separator ','
splot DATA with @STYLE notitle
GP
# The 36 views of a turntable, from the rows read once into a table: as 36 PNG files (turn.gp) or
# as the frames of one GIF (anim.gp). FRAME sets the output of view i, when the terminal needs it.
cat >"$work/views.gp" <<'GP'
set datafile separator ','
set table $rows
plot DATA using 1:2:3 with table
unset table
set datafile separator whitespace
do for [i=0:35] {
  @FRAME
  set view 60, (45 + 10 * i) % 360
  splot $rows using 1:2:3 with dots notitle
}
GP
cat >"$work/turn.gp" <<'GP'
set terminal pngcairo size 640,480
FRAME = "set output sprintf('%s-%03d.png', OUT, i)"
load VIEWS
GP
cat >"$work/anim.gp" <<'GP'
set terminal gif animate delay 5 loop 0 size 640,480
set output OUT
FRAME = ""
load VIEWS
GP
cat >"$work/plot.py" <<'PY'
import sys
import matplotlib
matplotlib.use("Agg")
import matplotlib.pyplot as plt
import numpy as np
data, out, mode = sys.argv[1], sys.argv[2], sys.argv[3]
x, y, z = np.loadtxt(data, delimiter=",", unpack=True)
fig = plt.figure(figsize=(6.4, 4.8), dpi=100)
ax = fig.add_subplot(projection="3d")
if mode == "lines":
    ax.plot(x, y, z, linewidth=0.5)
else:
    ax.plot(x, y, z, ",", linestyle="none")
if mode == "turntable":
    for i in range(36):
        ax.view_init(elev=30, azim=45 + 10 * i)
        fig.savefig("%s-%03d.png" % (out, i))
elif mode == "animated":
    from matplotlib.animation import FuncAnimation, PillowWriter
    turn = lambda i: ax.view_init(elev=30, azim=45 + 10 * i)
    FuncAnimation(fig, turn, frames=36).save(out, writer=PillowWriter(fps=20))
else:
    fig.savefig(out)
PY

# Median wall-clock seconds of $runs runs of the command.
median() {
  local times=() start end
  for _ in $(seq "$runs"); do
    start=$(date +%s.%N)
    "$@" >/dev/null 2>"$work/err" || { echo "compare_peers: failed: $*" >&2; cat "$work/err" >&2; exit 1; }
    end=$(date +%s.%N)
    times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')")
  done
  printf '%s\n' "${times[@]}" | sort -g | awk '{ v[NR] = $1 } END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.3f", m }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a / b }'; }

printf '%-7s %-10s %10s %10s %12s %9s %12s\n' data mode ours gnuplot matplotlib "gp/ours" "mpl/ours"
for data in lorenz cube; do
  for mode in points lines turntable animated; do
    file="$work/$data.csv"
    case $mode in
      points)
        ours=$(median "$build/scatterview-render" --config "$work/empty.ini" "$file" "$work/ours.png")
        gp=$(median gnuplot -e "DATA='$file'; OUT='$work/gp.png'; STYLE='dots'" "$work/one.gp") ;;
      lines)
        ours=$(median "$build/scatterview-render" --config "$work/empty.ini" --lines "$file" "$work/ours.png")
        gp=$(median gnuplot -e "DATA='$file'; OUT='$work/gp.png'; STYLE='lines'" "$work/one.gp") ;;
      turntable)
        ours=$(median "$build/scatterview-render" --config "$work/empty.ini" --turntable 36 "$file" "$work/ours.png")
        gp=$(median gnuplot -e "DATA='$file'; OUT='$work/gp'; VIEWS='$work/views.gp'" "$work/turn.gp") ;;
      animated)
        ours=$(median "$build/scatterview-render" --config "$work/empty.ini" --turntable 36 "$file" "$work/ours.gif")
        gp=$(median gnuplot -e "DATA='$file'; OUT='$work/gp.gif'; VIEWS='$work/views.gp'" "$work/anim.gp") ;;
    esac
    mpl_out=$([ "$mode" = animated ] && echo "$work/mpl.gif" || echo "$work/mpl.png")
    mpl=$(median "$python" "$work/plot.py" "$file" "$mpl_out" "$mode")
    printf '%-7s %-10s %9ss %9ss %11ss %8s× %11s×\n' "$data" "$mode" "$ours" "$gp" "$mpl" \
      "$(ratio "$gp" "$ours")" "$(ratio "$mpl" "$ours")"
  done
done
# The large files: each peer runs once, within the limit (KILL 5 s after the TERM it ignores).
limited() {
  local start end status=0
  start=$(date +%s.%N)
  timeout -k 5 "$peer_limit" "$@" >/dev/null 2>"$work/err" || status=$?
  end=$(date +%s.%N)
  case $status in
    0) awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }' ;;
    124 | 137) echo "over ${peer_limit}" ;;
    *) echo "compare_peers: failed (status $status): $*" >&2; tail -n 5 "$work/err" >&2; echo failed ;;
  esac
}
show() { case $1 in over*) echo "$1 s" ;; failed) echo "$1" ;; *) echo "$1s" ;; esac; }
ratio_or_over() {
  case $1 in
    over*) echo ">$(ratio "${1#over }" "$2")" ;;
    failed) echo "-" ;;
    *) ratio "$1" "$2" ;;
  esac
}
for n in "${large[@]}"; do
  file="$work/lorenz$n.csv"
  label=$((n / 1000000))M
  for mode in points lines; do
    ours=$(median "$build/scatterview-render" --config "$work/empty.ini" --max-rows "$n" "--$mode" "$file" "$work/ours.png")
    style=$([ "$mode" = points ] && echo dots || echo lines)
    gp=$(limited gnuplot -e "DATA='$file'; OUT='$work/gp.png'; STYLE='$style'" "$work/one.gp")
    mpl=$(limited "$python" "$work/plot.py" "$file" "$work/mpl.png" "$mode")
    printf '%-7s %-10s %9ss %10s %12s %8s× %11s×\n' "$label" "$mode" "$ours" "$(show "$gp")" "$(show "$mpl")" \
      "$(ratio_or_over "$gp" "$ours")" "$(ratio_or_over "$mpl" "$ours")"
  done
done
echo "targets: gp/ours >= 10 for points and lines, >= 50 for the turntable, >= 10 animated; peers limited to $peer_limit s from 1M rows on"
echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg), $(date -u +%Y-%m-%d)"
