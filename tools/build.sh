#!/bin/sh
# Configures and builds the program, its tests and benchmarks into ./build.
set -e
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" ${CMAKE_ARGS:-} >/dev/null
cmake --build build -j"$(nproc)"
