#!/usr/bin/env bash
# Builds the Debian package with CPack from BUILD_DIR, installs it with dpkg, checks what a user
# touches (the manual page, the render tool and the viewer from /usr/bin as an ordinary user and as
# root, the desktop entry and icon), then removes it and checks that nothing of it is left. Needs root, dpkg-dev (dpkg-shlibdeps) and man-db.
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

[ "$(stat -c %a /usr/lib/scatterview/config.ini)" = 444 ] || fail "the starting config.ini is not read-only"
grep -qx 'FIT=2' /usr/lib/scatterview/config.ini || fail "the starting config.ini does not fit the data"

# The programs from /usr/bin as an ordinary user (nobody) and as root, each in a folder of their own
# with no display: both keep their settings under their XDG_CONFIG_HOME (root's by way of HOME), never
# in /usr/lib/scatterview, so that dpkg -r leaves nothing there.
chmod 0755 "$work"
cp "$here/examples/lorenz.csv" "$work/"
# (run_as USER COMMAND...): COMMAND in its own folder $work/USER, which is also its HOME; always in a
# subshell, which it replaces, so that $! of a run in the background is the program itself.
run_as() {
  local user=$1; shift
  cd "$work/$user" && exec env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_CONFIG_HOME HOME="$work/$user" \
    XDG_RUNTIME_DIR="$work/$user" SDL_VIDEODRIVER=offscreen SCATTERVIEW_NO_DIALOGS=1 \
    setpriv --reuid="$user" --regid="$(id -gn "$user")" --clear-groups "$@"
}
for user in nobody root; do
  home="$work/$user"
  mkdir -p "$home"
  cp "$work/lorenz.csv" "$home/"
  chown "$user" "$home"
  settings="$home/.config/scatterview/config.ini"
  (run_as "$user" /usr/bin/scatterview --version) | grep -qx "scatterview $version" || fail "scatterview --version as $user"
  (run_as "$user" /usr/bin/scatterview --help) | grep -q "in use: $settings" ||
    fail "the settings of $user are not in XDG_CONFIG_HOME"
  (run_as "$user" /usr/bin/scatterview-render lorenz.csv lorenz.png) || fail "scatterview-render failed as $user"
  [ "$(head -c 8 "$home/lorenz.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "no PNG written as $user"
  # A whole viewer run, ended as a desktop session ends it: the view is saved in the user's file.
  (run_as "$user" /usr/bin/scatterview lorenz.csv) &
  viewer=$!
  sleep 2
  kill -TERM "$viewer"
  status=0
  wait "$viewer" || status=$?
  [ "$status" -eq 0 ] || fail "the viewer run as $user ended with status $status"
  grep -qx 'CAMERA_T=45' "$settings" || fail "the view of $user was not saved in $settings"
  grep -qx 'FIT=2' "$settings" || fail "the settings of $user did not start from the installed ones"
done
[ "$(ls -A /usr/lib/scatterview | sort | tr '\n' ' ')" = "config.ini data scatterview scatterview-render " ] ||
  fail "written into /usr/lib/scatterview: $(ls -A /usr/lib/scatterview)"

dpkg -r scatterview >/dev/null
installed=0
left=$(ls -d /usr/bin/scatterview /usr/bin/scatterview-render /usr/lib/scatterview \
  /usr/share/man/man1/scatterview.1.gz /usr/share/applications/scatterview.desktop \
  /usr/share/icons/hicolor/scalable/apps/scatterview.svg /usr/share/doc/scatterview 2>/dev/null || true)
[ -z "$left" ] || fail "left after dpkg -r: $left"
if dpkg-query -W -f='${Status}' scatterview 2>/dev/null | grep -q 'install ok installed'; then fail "still installed"; fi
echo "== package check passed"
