#!/usr/bin/env bash
# How long the viewer takes to end when SIGTERM comes in the middle of a frame that cannot finish
# within the frame rate: a polyline of ROWS Lorenz rows (20 000 000 unless given) under
# SDL_VIDEODRIVER=offscreen. For each delay after the first frame began it prints the time from the
# signal to the end of the process, its exit status and whether config.ini was written whole.
#
#   bench/end_during_long_frame.sh [BUILD_DIR] [ROWS] [DATA_FILE]
#
# DATA_FILE, when given, is used as it is (ROWS + 1 Lorenz rows, so that the notice of rows left out
# tells when the reading ended); otherwise it is made. Target: every end within 0.5 s. Not part of ctest.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
rows=${2:-20000000}
for file in scatterview make_dataset data/font.dds; do
  [ -e "$build/$file" ] || { echo "end_during_long_frame: $build/$file is missing; build first" >&2; exit 2; }
done

work=$(mktemp -d)
viewer_pid=""
cleanup() {
  [ -n "$viewer_pid" ] && kill -KILL "$viewer_pid" 2>/dev/null && wait "$viewer_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

data=${3:-}
if [ -z "$data" ]; then
  data="$work/lorenz.csv"
  "$build/make_dataset" lorenz "$((rows + 1))" "$data" >/dev/null
fi
cp "$build/scatterview" "$work/"
cp -r "$build/data" "$work/"

now_ms() { date +%s%3N; }

for delay in 0.1 0.3 0.5 0.7 0.9; do
  printf '[CONFIG]\nMAXROWS=%d\nLINESET=1\n%s' "$rows" "${EXTRA_KEYS:-}" >"$work/config.ini"
  : >"$work/err"
  (cd "$work" && exec env SDL_VIDEODRIVER=offscreen SCATTERVIEW_NO_DIALOGS=1 XDG_RUNTIME_DIR="$work" \
    XDG_CONFIG_HOME="$work/user-config" ./scatterview "$data" 2>"$work/err") &
  viewer_pid=$!
  # The notice of the row left out comes when the reading ends, just before the first frame draws.
  until grep -q "rows read" "$work/err" 2>/dev/null; do
    kill -0 "$viewer_pid" 2>/dev/null || { echo "the viewer ended early:" >&2; cat "$work/err" >&2; exit 1; }
    sleep 0.01
  done
  sleep "$delay"
  start=$(now_ms)
  kill -TERM "$viewer_pid"
  status=0
  wait "$viewer_pid" || status=$?
  end=$(now_ms)
  viewer_pid=""
  whole=no
  grep -q '^CAMERA_T=' "$work/config.ini" && grep -q '^SHOWAXIS=' "$work/config.ini" && whole=yes
  echo "delay ${delay}s: ended $((end - start)) ms after SIGTERM, status $status, config.ini whole: $whole"
done
