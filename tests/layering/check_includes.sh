#!/usr/bin/env bash
# Fails when a source folder includes a folder of its own level or above (other than itself),
# when anything outside src/platform/sdl2 includes SDL, or when a folder of src/ has no level here
# (a new folder must take its place in the table before its includes can be checked).
set -u
src=${1:?source dir}
declare -A level=([platform]=0 [render]=1 [graphics]=2 [input]=2 [viewer]=3 [app]=4 [batch]=4)
bad=0
for path in "$src"/*/; do
  dir=$(basename "$path")
  if [ -z "${level[$dir]+x}" ]; then echo "src/$dir has no level in $(basename "$0")"; bad=1; fi
done
for dir in "${!level[@]}"; do
  while IFS=: read -r file _ inc; do
    target=$(sed -E 's/.*#include *"([a-z0-9_]+)\/.*/\1/' <<<"$inc")
    [ "$target" = "$dir" ] && continue
    [ -n "${level[$target]+x}" ] || continue
    if [ "${level[$target]}" -ge "${level[$dir]}" ]; then
      echo "$file includes $target (level ${level[$target]}) from level ${level[$dir]}"; bad=1
    fi
  done < <(grep -rn --include='*.h' --include='*.cpp' -E '#include *"[a-z0-9_]+/' "$src/$dir" || true)
done
sdl=$(grep -rln --include='*.h' --include='*.cpp' -E '#include *[<"]SDL' "$src" | grep -v "^$src/platform/sdl2/" || true)
if [ -n "$sdl" ]; then echo "SDL included outside platform/sdl2: $sdl"; bad=1; fi
exit $bad
