#!/usr/bin/env bash
# Frame rate and CPU cost of the whole viewer in a real X window (a private Xvfb), on a Lorenz
# trajectory of ROWS rows (150 000 unless given; MAXROWS in the viewer's config.ini is raised to
# ROWS), in point mode and in line mode. For each mode it prints the FPS readout as the
# window shows it (read back from the screenshot with the font's own glyphs), the CPU time the
# viewer process and the X server used over the measuring window, as a share of one core, and the
# viewer's peak RSS (VmHWM, read just before it is ended).
#
#   bench/fps_under_xvfb.sh [BUILD_DIR] [SECONDS] [ROWS]      (defaults: build, 10, 150000)
#
# The measuring starts once the rows are read (the viewer's notice of the row left out at the limit:
# the file holds one row more than ROWS) and the readout has settled. LOAD_TIMEOUT (default 300 s)
# bounds the wait for the rows, SETTLE_TIMEOUT (default 20 s) the wait for two readings within 20 %.
# Targets: 60 frames a second at no more than 30 % of one core; peak RSS < 2 x the columns (24 bytes
# a row) + 64 MB: 544 MB at 10 000 000 rows. Not part of ctest.
set -euo pipefail
if [[ $# -gt 3 || ${1:-} = -h || ${1:-} = --help ]]; then
  echo "usage: $0 [BUILD_DIR] [SECONDS] [ROWS]   (defaults: build, 10, 150000)" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
seconds=${2:-10}
rows=${3:-150000}
load_timeout=${LOAD_TIMEOUT:-300}
settle_timeout=${SETTLE_TIMEOUT:-20}
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

# One row more than the limit: the viewer's notice of the row left out says that the reading ended.
"$build/make_dataset" lorenz "$((rows + 1))" "$work/lorenz.csv" >/dev/null
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

# Waits up to $2 seconds for the viewer's window; prints its id.
find_window() {
  local window=""
  for _ in $(seq $((10 * $2))); do
    window=$(xdotool search --onlyvisible --pid "$1" 2>/dev/null | head -n1 || true)
    [ -n "$window" ] && { echo "$window"; return; }
    kill -0 "$1" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Waits for the notice of the reading's end on the viewer's stderr (file $2), at most $load_timeout s.
wait_for_rows() {
  local pid=$1 err=$2 deadline=$((SECONDS + load_timeout))
  until grep -q "rows read" "$err" 2>/dev/null; do
    kill -0 "$pid" 2>/dev/null || { echo "fps_under_xvfb: the viewer ended while reading:" >&2; cat "$err" >&2; return 1; }
    [ $SECONDS -lt $deadline ] || { echo "fps_under_xvfb: no rows after $load_timeout s (LOAD_TIMEOUT)" >&2; return 1; }
    sleep 0.1
  done
}

# Reads the readout once a second until two readings in a row are numbers within 20 % of each other
# (a shared machine moves it by that much; the wait is for the rows' first frames to be behind it),
# at most $settle_timeout s; prints the last reading.
wait_for_steady_readout() {
  local window=$1 before="" now="?" deadline=$((SECONDS + settle_timeout))
  while [ $SECONDS -lt $deadline ]; do
    sleep 1
    now=$(read_fps "$window")
    if [[ $now != "?" && $before != "" && $before != "?" ]] &&
       awk -v a="$before" -v b="$now" 'BEGIN { d = a - b; exit !(d * d <= (0.2 * a) * (0.2 * a)) }'; then
      echo "$now"; return
    fi
    before=$now
  done
  echo "fps_under_xvfb: the readout did not settle within $settle_timeout s (SETTLE_TIMEOUT); measuring anyway" >&2
  echo "$now"
}

measure() {
  local mode=$1 lineset=$2 folder="$work/$1"
  mkdir -p "$folder/data"
  cp "$build/scatterview" "$folder/"
  cp "$build/data/font.dds" "$folder/data/"
  printf '[CONFIG]\nFPS=1\nLINESET=%s\nSHOWHINT=1\nMAXROWS=%s\n' "$lineset" "$rows" >"$folder/config.ini"
  : >"$folder/err"
  local t_start t_window t_rows t_steady
  t_start=$(date +%s.%N)
  (cd "$folder" && XDG_RUNTIME_DIR="$folder" SCATTERVIEW_NO_DIALOGS=1 exec ./scatterview "$work/lorenz.csv" \
     2>"$folder/err") &
  viewer_pid=$!
  local window
  window=$(find_window "$viewer_pid" 60) ||
    { echo "fps_under_xvfb: no window in $mode mode within 60 s:" >&2; cat "$folder/err" >&2; exit 1; }
  t_window=$(date +%s.%N)
  wait_for_rows "$viewer_pid" "$folder/err" || exit 1
  t_rows=$(date +%s.%N)
  sleep 1.5  # the first frame of the rows, then a whole second of the readout after it
  wait_for_steady_readout "$window" >/dev/null
  t_steady=$(date +%s.%N)

  local cpu0 xcpu0 t0 cpu1 xcpu1 t1 readings="" step hwm
  cpu0=$(cpu_ticks "$viewer_pid"); xcpu0=$(cpu_ticks "$xvfb_pid"); t0=$(date +%s.%N)
  for step in $(seq "$seconds"); do
    sleep 1
    [ $((step % 2)) -eq 0 ] && readings+="$(read_fps "$window") "
  done
  cpu1=$(cpu_ticks "$viewer_pid"); xcpu1=$(cpu_ticks "$xvfb_pid"); t1=$(date +%s.%N)
  hwm=$(awk '/^VmHWM:/ { print $2 }' "/proc/$viewer_pid/status")

  kill "$viewer_pid"
  wait "$viewer_pid" || true
  viewer_pid=""
  awk -v m="$mode" -v r="$readings" -v c=$((cpu1 - cpu0)) -v x=$((xcpu1 - xcpu0)) -v hz="$ticks" \
      -v t0="$t0" -v t1="$t1" -v hwm="$hwm" -v ts="$t_start" -v tw="$t_window" -v tr="$t_rows" \
      -v tt="$t_steady" 'BEGIN {
    wall = t1 - t0
    printf "%-7s FPS readout: %s | viewer CPU %.1f %% of one core | Xvfb CPU %.1f %% | over %.1f s | peak RSS %.0f MB\n",
           m, r, 100 * c / hz / wall, 100 * x / hz / wall, wall, hwm * 1024 / 1e6
    printf "        (window after %.1f s, rows read after %.1f s, readout steady after %.1f s)\n",
           tw - ts, tr - ts, tt - ts
  }'
}

limit=$(awk -v n="$rows" 'BEGIN { printf "%.0f", 2 * 24 * n / 1e6 + 64 }')
echo "scatterview under Xvfb ($DISPLAY), $rows Lorenz rows, ${seconds} s per mode; targets 60 fps at <= 30 % of one core, peak RSS < $limit MB"
measure points 0
measure lines 1
echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg), $(date -u +%Y-%m-%d)"
