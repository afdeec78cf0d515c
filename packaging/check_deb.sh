#!/usr/bin/env bash
# Builds the Debian package with CPack from BUILD_DIR, installs it with dpkg, checks what a user
# touches (the manual page, the render tool from /usr/bin, the desktop entry and icon), then removes
# it and checks that nothing of it is left. Needs root, dpkg-dev (dpkg-shlibdeps) and man-db.
#   packaging/check_deb.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: packaging/check_deb.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")/.." && pwd)
[ "$(id -u)" -eq 0 ] || { echo "check_deb.sh: run as root (dpkg -i)" >&2; exit 1; }
if dpkg-query -W -f='${Status}' scatterview 2>/dev/null | grep -q 'install ok installed'; then
  echo "check_deb.sh: a scatterview package is installed already; not touching it" >&2
  exit 1
fi

cmake --build "$build" -j2 --target scatterview scatterview-render font_texture man_pages >/dev/null
rm -f "$build"/scatterview_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/scatterview_*.deb)
echo "== $deb"
dpkg-deb -f "$deb" Package Version Depends

work=$(mktemp -d)
installed=0
cleanup() {
  [ "$installed" -eq 1 ] && dpkg -r scatterview >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "check_deb.sh: $*" >&2; exit 1; }

dpkg -i "$deb" >/dev/null
installed=1
version=$(sed -n 's/^project(scatterview VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
[ "$(dpkg-query -W -f='${Version}' scatterview)" = "$version" ] || fail "the package version is not $version"
man -w scatterview >/dev/null || fail "man -w scatterview finds no page"
man -w scatterview-render >/dev/null || fail "man -w scatterview-render finds no page"
[ -f /usr/share/doc/scatterview/copyright ] || fail "no copyright file"
[ -f /usr/share/icons/hicolor/scalable/apps/scatterview.svg ] || fail "no icon"
grep -qx 'Exec="/usr/bin/scatterview" %f' /usr/share/applications/scatterview.desktop || fail "desktop entry Exec"
grep -qx 'Icon=scatterview' /usr/share/applications/scatterview.desktop || fail "desktop entry Icon"

# The programs from /usr/bin as an ordinary user (nobody) in a folder of their own, with no display:
# /usr/lib/scatterview is not theirs to write, so their settings go to XDG_CONFIG_HOME. (Root could
# write beside the program, and a config.ini made there would outlive dpkg -r as any user file does.)
chmod 0777 "$work"
cp "$here/examples/lorenz.csv" "$work/"
as_user() {
  (cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY HOME="$work" XDG_CONFIG_HOME="$work/config" \
    setpriv --reuid=nobody --regid=nogroup --clear-groups "$@")
}
as_user /usr/bin/scatterview --version | grep -qx "scatterview $version" || fail "scatterview --version"
as_user /usr/bin/scatterview --help | grep -q "in use: $work/config/scatterview/config.ini" ||
  fail "the settings of a user are not in XDG_CONFIG_HOME"
as_user /usr/bin/scatterview-render lorenz.csv lorenz.png || fail "scatterview-render failed"
[ "$(head -c 8 "$work/lorenz.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "no PNG written"

dpkg -r scatterview >/dev/null
installed=0
left=$(ls -d /usr/bin/scatterview /usr/bin/scatterview-render /usr/lib/scatterview \
  /usr/share/man/man1/scatterview.1.gz /usr/share/applications/scatterview.desktop \
  /usr/share/icons/hicolor/scalable/apps/scatterview.svg /usr/share/doc/scatterview 2>/dev/null || true)
[ -z "$left" ] || fail "left after dpkg -r: $left"
if dpkg-query -W -f='${Status}' scatterview 2>/dev/null | grep -q 'install ok installed'; then fail "still installed"; fi
echo "== package check passed"
