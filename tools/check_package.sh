#!/bin/sh
# Builds the Debian package, installs it on this machine, checks the installed program and its
# desktop files, and removes the package again (run as root on Debian 12).
#   - phonebook --help, a search and an export from the command line on a demo directory that the
#     installed program finds in the user's data folder, the window's first paint on it, and the
#     message when it finds no directory;
#   - desktop-file-validate and appstreamcli validate on the installed files;
#   - lintian on the package: no error (its warnings are printed).
set -e
cd "$(dirname "$0")/.."
root=$(pwd)

sh tools/deps.sh
missing=""
for p in desktop-file-utils appstream lintian dpkg-dev file man-db; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends $missing
fi

if dpkg-query -W -f='${Status}' phonebook 2>/dev/null | grep -q "install ok installed"; then
  echo "check_package: the package phonebook is installed already; remove it first (dpkg -r phonebook)" >&2
  exit 1
fi

# Only what the package holds and the demo directory tool are built; packing must not build (and
# wait for) every test and benchmark first.
# shellcheck disable=SC2086
cmake -S . -B build -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
  ${CMAKE_ARGS:-} >/dev/null
cmake --build build -j"$(nproc)" --target phonebook phonebook_docs make_demo_directory

rm -f build/phonebook_*.deb
(cd build && cpack -G DEB >/dev/null)
set -- build/phonebook_*_amd64.deb
deb=$1
[ -f "$deb" ] || { echo "check_package: cpack made no phonebook_<version>_amd64.deb" >&2; exit 1; }
echo "Package: $deb"
dpkg-deb --field "$deb" Package Version Architecture Depends Recommends

work=$(mktemp -d)
cleanup() {
  dpkg -r phonebook >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

dpkg -i "$deb"
fail() {
  echo "check_package: $*" >&2
  exit 1
}

program=$(command -v phonebook) || fail "phonebook is not on the PATH after installing"
[ "$program" = /usr/bin/phonebook ] || fail "phonebook runs from $program, not /usr/bin/phonebook"
phonebook --help | grep -q -- "--export " || fail "phonebook --help does not show the options"

for f in /usr/share/applications/phonebook.desktop /usr/share/icons/hicolor/scalable/apps/phonebook.svg \
  /usr/share/man/man1/phonebook.1.gz /usr/share/doc/phonebook/copyright; do
  [ -f "$f" ] || fail "$f is not installed"
done
for size in 16 32 48 64 128 256; do
  f=/usr/share/icons/hicolor/${size}x${size}/apps/phonebook.png
  file -b "$f" | grep -q "PNG image data, $size x $size" || fail "$f is not a $size x $size PNG"
done
man -w phonebook >/dev/null || fail "man phonebook finds no manual page"

echo "desktop-file-validate:"
desktop-file-validate /usr/share/applications/phonebook.desktop
echo "appstreamcli validate:"
metainfo=$(dpkg -L phonebook | grep '^/usr/share/metainfo/.*\.metainfo\.xml$') || fail "no AppStream metainfo installed"
appstreamcli validate --no-net "$metainfo"

# A search and an export from the command line, on a demo directory in the user's data folder,
# with no display; the count must agree with the directory itself.
export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" XDG_DATA_DIRS="$work/none"
export XDG_RUNTIME_DIR="$work/run"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
mkdir -p "$HOME" "$XDG_DATA_HOME/phonebook"
mkdir -m 700 "$XDG_RUNTIME_DIR"
db="$XDG_DATA_HOME/phonebook/phonebook.mdb"
build/tools/make_demo_directory "$db" 2000 >/dev/null 2>&1
expected=$(sqlite3 "$db" "SELECT count(*) FROM kray WHERE street LIKE '%Луговая%';")
[ "$expected" -gt 0 ] || fail "the demo directory has no street Луговая"
(cd "$work" && phonebook --street Луговая --sort vlad --export result.txt) >"$work/out" ||
  fail "the search on the demo directory failed"
grep -qx "Найдено $expected записей." "$work/out" || fail "expected 'Найдено $expected записей.', got '$(cat "$work/out")'"
# CR LF between lines, none after the last.
lines=$(awk 'END { print NR }' "$work/result.txt")
[ "$lines" -eq $((expected + 1)) ] || fail "result.txt has $lines lines, expected a title and $expected rows"
(cd "$work" && phonebook --database "$db" --phone 45 --export result.xls) >/dev/null || fail "the export to .xls failed"
[ -s "$work/result.xls" ] || fail "result.xls is empty"
echo "Search and export: $expected entries found and written"

# The window starts from the installed program on that directory and paints (no display needed).
painted=$(cd "$work" && PB_EXIT_AFTER_FIRST_PAINT=1 QT_QPA_PLATFORM=offscreen timeout 60 phonebook 2>"$work/err") ||
  fail "the window did not start: $(cat "$work/err")"
[ "$painted" = painted ] || fail "the window did not paint: $painted $(cat "$work/err")"
echo "Window: starts and paints"

# Without a directory anywhere the program names the places it looked in.
rm "$db"
if (cd "$work" && phonebook --fio И) >/dev/null 2>"$work/err"; then
  fail "a search without a directory succeeded"
fi
grep -q "$XDG_DATA_HOME/phonebook/phonebook.mdb" "$work/err" ||
  fail "the missing-directory message does not name $XDG_DATA_HOME/phonebook/phonebook.mdb: $(cat "$work/err")"

echo "lintian:"
# lintian reads the package as a user of its own; the package must come through without an error.
lintian --fail-on error --tag-display-limit 0 "$root/$deb"
echo "check_package: the package installs, runs and passes its checks"
