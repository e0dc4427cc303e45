#!/bin/sh
# Builds the record-set and export tests with AddressSanitizer and UBSan and runs them: the
# exporters' failure paths must free everything they made.
set -e
cd "$(dirname "$0")/.."
sh tools/deps.sh
cmake -S . -B build-asan -DPHONEBOOK_SANITIZE=ON -DPHONEBOOK_BENCH=OFF >/dev/null
cmake --build build-asan -j"$(nproc)" --target data_tests export_tests
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
./build-asan/tests/data_tests --gtest_brief=1
./build-asan/tests/export_tests --gtest_brief=1
