#!/usr/bin/env bash
# Frame rate and CPU cost of the whole viewer in a real X window (a private Xvfb), on a Lorenz
# trajectory of ROWS rows (150 000 unless given; the MAXROWS key lets more be read), in point mode
# and in line mode. For each mode it prints the FPS readout as the
# window shows it (read back from the screenshot with the font's own glyphs) and the CPU time the
# viewer process and the X server used over the measuring window, as a share of one core.
#
#   bench/fps_under_xvfb.sh [BUILD_DIR] [SECONDS] [ROWS]      (defaults: build, 10, 150000)
#
# Target: 60 frames a second at no more than 30 % of one core. Not part of ctest.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
seconds=${2:-10}
rows=${3:-150000}
for tool in Xvfb xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "fps_under_xvfb: $tool is not installed" >&2; exit 2; }
done
for file in scatterview make_dataset data/font.dds; do
  [ -e "$build/$file" ] || { echo "fps_under_xvfb: $build/$file is missing; build first" >&2; exit 2; }
done

work=$(mktemp -d)
xvfb_pid=""
viewer_pid=""
cleanup() {
  [ -n "$viewer_pid" ] && kill "$viewer_pid" 2>/dev/null && wait "$viewer_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"

"$build/make_dataset" lorenz "$rows" "$work/lorenz.csv" >/dev/null
ticks=$(getconf CLK_TCK)

# The digits' 8 x 8 masks from the font texture: small glyph cells at (9 (d + 1), 82).
for d in 0 1 2 3 4 5 6 7 8 9; do
  convert "$build/data/font.dds" -crop "8x8+$((9 * (d + 1)))+82" +repage -alpha extract -depth 8 gray:- |
    od -An -tx1 | tr -d ' \n' >"$work/digit$d"
done

# The number after "FPS:" at (580, 470), from a screenshot; "?" for a cell that is no digit.
read_fps() {
  local window=$1 shot="$work/shot.png" number="" x cell d found
  import -window "$window" "$shot" 2>/dev/null || { echo "?"; return; }
  for x in 612 620 628; do
    cell=$(convert "$shot" -crop "8x8+$x+470" +repage -fill black +opaque white -colorspace gray -depth 8 gray:- |
      od -An -tx1 | tr -d ' \n')
    found=""
    for d in 0 1 2 3 4 5 6 7 8 9; do
      [ "$cell" = "$(cat "$work/digit$d")" ] && found=$d && break
    done
    [ -z "$found" ] && break
    number+=$found
  done
  echo "${number:-?}"
}

cpu_ticks() {  # utime + stime of a process, in clock ticks
  awk '{ print $14 + $15 }' "/proc/$1/stat"
}

measure() {
  local mode=$1 lineset=$2 folder="$work/$1"
  mkdir -p "$folder/data"
  cp "$build/scatterview" "$folder/"
  cp "$build/data/font.dds" "$folder/data/"
  cp "$work/lorenz.csv" "$folder/data.csv"
  printf '[CONFIG]\nFPS=1\nLINESET=%s\nSHOWHINT=1\nMAXROWS=%s\n' "$lineset" "$rows" >"$folder/config.ini"
  (cd "$folder" && XDG_RUNTIME_DIR="$folder" SCATTERVIEW_NO_DIALOGS=1 exec ./scatterview) &
  viewer_pid=$!
  local window=""
  for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --pid "$viewer_pid" 2>/dev/null | head -n1 || true)
    [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || { echo "fps_under_xvfb: no window in $mode mode" >&2; exit 1; }
  sleep 3  # the data is read in the first frame; the readout needs a whole second after that

  local cpu0 xcpu0 t0 cpu1 xcpu1 t1 readings="" step
  cpu0=$(cpu_ticks "$viewer_pid"); xcpu0=$(cpu_ticks "$xvfb_pid"); t0=$(date +%s.%N)
  for step in $(seq "$seconds"); do
    sleep 1
    [ $((step % 2)) -eq 0 ] && readings+="$(read_fps "$window") "
  done
  cpu1=$(cpu_ticks "$viewer_pid"); xcpu1=$(cpu_ticks "$xvfb_pid"); t1=$(date +%s.%N)

  kill "$viewer_pid"
  wait "$viewer_pid" || true
  viewer_pid=""
  awk -v m="$mode" -v r="$readings" -v c=$((cpu1 - cpu0)) -v x=$((xcpu1 - xcpu0)) -v hz="$ticks" \
      -v t0="$t0" -v t1="$t1" 'BEGIN {
    wall = t1 - t0
    printf "%-7s FPS readout: %s | viewer CPU %.1f %% of one core | Xvfb CPU %.1f %% | over %.1f s\n",
           m, r, 100 * c / hz / wall, 100 * x / hz / wall, wall
  }'
}

echo "scatterview under Xvfb ($DISPLAY), $rows Lorenz rows, ${seconds} s per mode; target 60 fps at <= 30 % of one core"
measure points 0
measure lines 1
