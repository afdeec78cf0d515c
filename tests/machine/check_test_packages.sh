#!/usr/bin/env bash
# Keeps the fresh-machine promise: every outside command the tests run, and the X fonts the message
# boxes need, comes from a package that `scripts/install_packages.sh test` installs.
#   check_test_packages.sh SOURCE_DIR
# Fails, naming it, when a test calls a command this table does not know, when the script does not
# install a package of the table, or when an installed command belongs to another package.
set -u
src=$1
# command  package (a command "-" stands for a need that is no command; "essential" for a package
# every Debian system has)
table="
Xvfb xvfb
xdotool xdotool
import imagemagick
xwininfo x11-utils
xprop x11-utils
xauth xauth
clang clang
timeout essential
- xfonts-base
"
installed=$(bash "$src/scripts/install_packages.sh" test --list)
bad=0
while read -r command package; do
  [ -z "$command" ] && continue
  if [ "$package" != essential ] && ! grep -qx "$package" <<<"$installed"; then
    echo "the tests need $package (for $command), which scripts/install_packages.sh test does not install"
    bad=1
  fi
  path=$(command -v "$command" 2>/dev/null) || continue
  owner=$(dpkg -S "$(readlink -f "$path")" 2>/dev/null | cut -d: -f1 | head -1)
  # A package may ship a command through one of its versioned parts (imagemagick-6.q16, clang-14).
  if [ -n "$owner" ] && [ "$package" != essential ] && [ "${owner#"$package"}" = "$owner" ]; then
    echo "$command comes from $owner here, not from $package as the table says"; bad=1
  fi
done <<<"$table"

# The commands the tests start: through execlp, popen or a shell line given to RunWithDisplay.
called=$(grep -rhoE 'execlp\("[A-Za-z0-9_.-]+"|RunWithDisplay\([^,]+, "[A-Za-z0-9_.-]+' "$src/tests" |
         sed -E 's/^.*"([A-Za-z0-9_.-]+)"?$/\1/' | sort -u)
for command in $called; do
  if ! grep -qE "^$command " <<<"$table"; then
    echo "a test runs '$command', which the package table of $(basename "$0") does not list"; bad=1
  fi
done
exit $bad
