#!/bin/sh
# Installs what building, running and testing the program needs on Debian 12 (run as root).
# Packages already present are left alone; nothing is downloaded from anywhere but Debian.
set -e
PKGS="cmake g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n
  libsqlite3-dev sqlite3
  postgresql libpq-dev
  libxlsxwriter-dev unzip
  mdbtools mdbtools-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-format
  fonts-wine
  xvfb xclip xauth xdotool libxcb1-dev
  libreoffice-calc libreoffice-writer"
missing=""
for p in $PKGS; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends $missing
fi
