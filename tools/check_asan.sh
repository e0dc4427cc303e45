#!/bin/sh
# Builds the program and every test program with AddressSanitizer and UBSan and runs them: every
# failure path must free what it made, and no test may touch memory it does not own.
set -e
cd "$(dirname "$0")/.."
sh tools/deps.sh
cmake -S . -B build-asan -DPHONEBOOK_SANITIZE=ON -DPHONEBOOK_BENCH=OFF ${CMAKE_ARGS:-} >/dev/null
cmake --build build-asan -j"$(nproc)" --target phonebook data_tests grid_tests export_tests app_tests
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
# What D-Bus and fontconfig keep for the life of the process is no leak of ours.
export LSAN_OPTIONS="suppressions=$(pwd)/tools/lsan.supp:print_suppressions=0"
for t in data_tests grid_tests export_tests app_tests; do
  echo "== $t (AddressSanitizer, UBSan)"
  ./build-asan/tests/$t --gtest_brief=1
done
