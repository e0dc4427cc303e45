#!/bin/sh
# Sets up, builds and runs every test (headless).
set -e
cd "$(dirname "$0")/.."
sh tools/deps.sh
sh tools/build.sh
export QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure -j"$(nproc)" --timeout 600
