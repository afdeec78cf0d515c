#!/usr/bin/env bash
# Fails when a test program writes config.ini beside itself. Only the program links its one static
# scene (which saves the view keys at exit); the unit tests bring their own hooks and scenes, and a
# config.ini they left in the build folder would sit beside build/scatterview.
# Each program runs from a copy in a temporary folder, only listing its tests: the statics are made
# and destroyed all the same.
set -u
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
bad=0
for program in "$@"; do
  name=$(basename "$program")
  mkdir "$tmp/$name"
  cp "$program" "$tmp/$name/"
  (cd "$tmp/$name" && XDG_RUNTIME_DIR="$tmp/$name" SDL_VIDEODRIVER=offscreen SCATTERVIEW_NO_DIALOGS=1 \
     "./$name" --gtest_list_tests >/dev/null 2>&1)
  if [ -e "$tmp/$name/config.ini" ]; then
    echo "$name wrote config.ini beside itself (it links the program's static scene)"; bad=1
  fi
done
exit $bad
