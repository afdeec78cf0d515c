#!/usr/bin/env bash
# Renders a fixed list of pictures with two builds of scatterview-render and compares them byte for
# byte: the check that a change to the renderer leaves every picture as it was.
#
#   bench/same_pictures.sh REFERENCE_DIR NEW_DIR [WORK_DIR]
#
# Each DIR holds scatterview-render and data/font.dds (a build folder, or a copy of one); data sets
# are made with NEW_DIR/make_dataset. The pictures stay in WORK_DIR (default: a temporary folder).
# Exit status 0 when every pair is identical, 1 when any differs or fails to render.
set -euo pipefail

if [[ $# -lt 2 ]]; then
  echo "usage: $0 REFERENCE_DIR NEW_DIR [WORK_DIR]" >&2
  exit 2
fi
ref=$(cd "$1" && pwd)
new=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")/.." && pwd)
work=${3:-$(mktemp -d)}
mkdir -p "$work/ref" "$work/new" "$work/data"

"$new/make_dataset" cube 20000 "$work/data/cube.csv" >/dev/null
"$new/make_dataset" helix 3000 "$work/data/helix.csv" >/dev/null
cp "$here/examples/lorenz.csv" "$work/data/lorenz.csv"
printf '[CONFIG]\nD3DX_SPRITE=1\nSHOWHINT=1\n' >"$work/data/sprite1.ini"
printf '[CONFIG]\nD3DX_SPRITE=2\nSHOWHINT=1\n' >"$work/data/sprite2.ini"
printf '[CONFIG]\nFOG=0\nSHOWHINT=1\n' >"$work/data/fog0.ini"
printf '[CONFIG]\nWidth=800\nHeight=600\n' >"$work/data/wide.ini"
printf '[CONFIG]\n' >"$work/data/plain.ini"

# name | data | options
cases=()
for data in lorenz cube helix; do
  for mode in points lines; do
    for tl in 0 1 2; do
      for hint in hint no-hint; do
        cases+=("$data-$mode-tl$tl-$hint|$data|--$mode --hard-tl $tl --$hint")
      done
    done
    views=("--theta 0 --r 300" "--theta 37 --r 150 --z 40" "--theta 200 --r 60 --axis-x 10 --axis-y -5"
           "--theta 90 --r 3 --z 0" "--theta 315 --r 1 --axis-x 20 --axis-y 20 --z 10"
           "--theta 123.5 --r 8 --z -30 --axis-x -40" "--theta 10 --r 2000 --z 500")
    i=0
    for view in "${views[@]}"; do
      for tl in 0 1; do
        cases+=("$data-$mode-view$i-tl$tl|$data|--$mode --hard-tl $tl --hint $view")
      done
      i=$((i + 1))
    done
    for ini in sprite1 sprite2 fog0 wide; do
      cases+=("$data-$mode-$ini|$data|--$mode --config $work/data/$ini.ini --theta 45 --r 120")
    done
  done
done

render() {  # DIR OUT_FOLDER NAME DATA OPTIONS...
  local dir=$1 out=$2 name=$3 data=$4
  shift 4
  # shellcheck disable=SC2068
  "$dir/scatterview-render" --config "$work/data/plain.ini" $@ "$work/data/$data.csv" "$out/$name.png" \
    >/dev/null 2>"$out/$name.err"
}

status=0
for c in "${cases[@]}"; do
  IFS='|' read -r name data options <<<"$c"
  render "$ref" "$work/ref" "$name" "$data" $options &
  render "$new" "$work/new" "$name" "$data" $options || { echo "FAILED $name (new)"; status=1; }
  wait $! || { echo "FAILED $name (reference)"; status=1; }
done

same=0 differ=0
for c in "${cases[@]}"; do
  name=${c%%|*}
  if cmp -s "$work/ref/$name.png" "$work/new/$name.png"; then
    same=$((same + 1))
  else
    echo "DIFFERS $name"
    differ=$((differ + 1))
  fi
done
echo "${#cases[@]} cases: $same identical, $differ different (pictures in $work)"
[[ $differ -eq 0 && $status -eq 0 ]]
