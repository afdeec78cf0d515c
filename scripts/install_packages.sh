#!/usr/bin/env bash
# Installs the Debian packages that scatterview needs, and only the missing ones.
#   scripts/install_packages.sh run    — what building and running the viewer needs
#   scripts/install_packages.sh test   — that, plus what the tests and benchmarks need (time: the
#                                         peak memory of bench/png_vs_parse_floor.sh)
#   scripts/install_packages.sh peers  — the plotting tools bench/compare_peers.sh times us against
#   scripts/install_packages.sh package — what building and checking the Debian package needs
#                                         (packaging/check_deb.sh: dpkg-shlibdeps, man -w)
#   scripts/install_packages.sh MODE --list — prints the packages of MODE, one a line; installs nothing
set -euo pipefail
# xfonts-base: the X core fonts an X server needs to draw the program's message boxes.
# libfast-float-dev: the header-only number conversion of the two-thread data reader.
# libxrandr-dev (tests): the end-to-end tests give their X server display modes of a known refresh rate.
# xclip (tests): the end-to-end tests read the clipboard the viewer wrote.
# libgif-dev, libwebp-dev: the render tool's animated turntables (GIF, lossless WebP); the tests decode
# them with the same libraries.
want=(cmake g++ make pkg-config libsdl2-dev libstb-dev zlib1g-dev xfonts-base libfast-float-dev libgif-dev
      libwebp-dev)
if [ "${1:-run}" = test ]; then
  want+=(googletest libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
         xvfb xdotool imagemagick x11-utils xauth time libxrandr-dev xclip)
elif [ "${1:-run}" = peers ]; then
  want=(gnuplot-nox python3 python3-matplotlib)
elif [ "${1:-run}" = package ]; then
  want+=(dpkg-dev man-db file)
fi
if [ "${2:-}" = --list ]; then
  printf '%s\n' "${want[@]}"
  exit 0
fi
missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}" >&2
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
