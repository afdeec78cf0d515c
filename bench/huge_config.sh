#!/usr/bin/env bash
# How a huge config.ini weighs on a run of the viewer (headless): the time from start to the window
# (its single-instance lock taken, just after the window is made), from SIGTERM to the end of the
# process when the window runs, and from SIGTERM to the end when the signal comes during the start.
#
#   bench/huge_config.sh [BUILD_DIR] [KEYS] [WORK_DIR]   # defaults: build, 6000000, a temporary folder
#
# The file: a comment, [CONFIG] with KEYS filler keys of two characters ("ab=", 4 bytes a line: 24 MB
# for six million), then a view key with a comment after its value, then another section. After each
# run the file must still hold every filler line, the other section and the comment.
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
keys=${2:-6000000}
work=${3:-$(mktemp -d)}
mkdir -p "$work/data" "$work/user-config"
cp "$build/scatterview" "$work/"
cp "$build/data/font.dds" "$work/data/"
printf '1,2,3\n4,5,6\n' >"$work/data.csv"

make_config() {
  { printf '; settings of the benchmark\n[CONFIG]\n'
    awk -v n="$keys" 'BEGIN { a = "abcdefghijklmnopqrstuvwxyz0123456789"
      for (i = 0; i < n; i++) printf "%s%s=\n", substr(a, i % 36 + 1, 1), substr(a, int(i / 36) % 36 + 1, 1) }'
    printf 'CAMERA_R = 300 ; mine\n[Other]\nkept=yes\n'
  } >"$work/config.ini"
}

now() { date +%s.%N; }
holds_lock() { grep -q " FLOCK .* $1 " /proc/locks; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }

start() {
  (cd "$work" && exec env SDL_VIDEODRIVER=offscreen SCATTERVIEW_NO_DIALOGS=1 XDG_RUNTIME_DIR="$work" \
     XDG_CONFIG_HOME="$work/user-config" ./scatterview data.csv 2>"$work/stderr") &
  pid=$!
}

check_file() {
  local lines
  lines=$(grep -c '^..=$' "$work/config.ini" || true)
  if [[ $lines -ne $keys ]] || ! grep -q '^kept=yes' "$work/config.ini" || ! grep -q '^; settings' "$work/config.ini"; then
    echo "  config.ini lost keys: $lines filler lines of $keys" >&2
    return 1
  fi
  echo "  config.ini whole: $(grep -i '^CAMERA_R' "$work/config.ini")"
}

make_config
echo "config.ini: $(du -h "$work/config.ini" | cut -f1), $keys filler keys"

# 1. Up to the window, then SIGTERM while it runs.
t0=$(now); start
until holds_lock "$pid" || ! kill -0 "$pid" 2>/dev/null; do sleep 0.01; done
t1=$(now)
sleep 0.5
t2=$(now); kill -TERM "$pid"; wait "$pid" && status=0 || status=$?
t3=$(now)
echo "window after $(elapsed "$t0" "$t1") s; SIGTERM while running: ended after $(elapsed "$t2" "$t3") s, status $status"
check_file

# 2. SIGTERM a moment after the start, while the file is being read.
for delay in 0.1 0.3 1.0; do
  start
  sleep "$delay"
  t2=$(now); kill -TERM "$pid"; wait "$pid" && status=0 || status=$?
  t3=$(now)
  echo "SIGTERM ${delay} s after the start: ended after $(elapsed "$t2" "$t3") s, status $status"
  check_file
done
