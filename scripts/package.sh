#!/usr/bin/env bash
# Builds the Debian package into build/package/ from the build folder that
# scripts/test.sh uses, building only the programs and the package's own files.
#   scripts/package.sh           the package
#   scripts/package.sh --check   and checks it: lintian, the file list and, as
#                                root, install, run wexcon-cli --version, remove
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1

build=build
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target Wexcon wexcon-cli wexcon-sim LaunchWexcon wexcon_package_files
rm -f "$build"/package/wexcon_*.deb
(cd "$build" && cpack -G DEB -B "$PWD/package" >/dev/null)
deb=$(ls "$build"/package/wexcon_*.deb)
echo "package: $deb"
[ "${1:-}" = --check ] || exit 0

# Errors and warnings fail; the README ("The Debian package") explains the
# informational findings that remain.
lintian --fail-on error,warning "$deb"

expected=(
  /usr/bin/Wexcon /usr/bin/wexcon-cli /usr/bin/wexcon-sim /usr/bin/LaunchWexcon
  /usr/share/applications/wexcon.desktop
  /usr/share/icons/hicolor/scalable/apps/wexcon.svg
  /usr/share/icons/hicolor/48x48/apps/wexcon.png
  /usr/share/man/man1/Wexcon.1.gz /usr/share/man/man1/wexcon-cli.1.gz
  /usr/share/man/man1/wexcon-sim.1.gz /usr/share/man/man1/LaunchWexcon.1.gz
  /usr/share/doc/wexcon/copyright /usr/share/doc/wexcon/changelog.gz
)
listing=$(dpkg-deb --contents "$deb" | awk '{print substr($6, 2)}')
for f in "${expected[@]}"; do
  grep -qx "$f" <<<"$listing" || { echo "package-check: $f is missing" >&2; exit 1; }
done
if grep -v -e '^/usr/bin/' -e '^/usr/share/' -e '^/usr/$' -e '^/$' <<<"$listing"; then
  echo "package-check: files outside /usr/bin and /usr/share (above)" >&2
  exit 1
fi
dpkg-deb --field "$deb" Depends | grep -q libqt6widgets6 || { echo "package-check: no Qt in Depends" >&2; exit 1; }

if [ "$(id -u)" -eq 0 ]; then
  # One check at a time installs on this machine (clones in other folders too).
  exec 9>/tmp/wexcon-package-check.lock
  flock 9
  dpkg -i "$deb" >/dev/null
  trap 'dpkg -r wexcon >/dev/null' EXIT
  version=$(/usr/bin/wexcon-cli --version)
  [ "$version" = "$("$build"/cli/wexcon-cli --version)" ] || { echo "package-check: installed $version" >&2; exit 1; }
  env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/Wexcon --version >/dev/null
  # Started as the menu starts it, the tool's files go to the user's data folder.
  home=$(mktemp -d)
  mkdir "$home/tmp"
  exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/wexcon.desktop)
  (cd / && HOME=$home/home TMPDIR=$home/tmp QT_QPA_PLATFORM=offscreen exec env -u XDG_DATA_HOME $exec_line) \
    >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 100); do [ -e "$home/home/.local/share/wexcon/logf1.txt" ] && break; sleep 0.1; done
  kill "$pid"; wait "$pid" || true
  written=$(cd "$home/home" && find . -type f | sort)
  rm -rf "$home"
  grep -qx ./.local/share/wexcon/logf1.txt <<<"$written" && ! grep -v '^./.local/share/wexcon/' <<<"$written" || {
    echo "package-check: from the menu Wexcon wrote: $written" >&2
    exit 1
  }
  dpkg -r wexcon >/dev/null
  trap - EXIT
  if dpkg-query -W -f='${Status}' wexcon 2>/dev/null | grep -q 'ok installed'; then
    echo "package-check: still installed after dpkg -r" >&2
    exit 1
  fi
  echo "package-check: installed, ran $version, removed"
fi
echo "package-check: passed"
