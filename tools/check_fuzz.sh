#!/bin/sh
# Fuzzes the code that reads outside input: the statement parser, the matcher and both paste
# readers. Builds the harnesses of tests/fuzz with clang's libFuzzer, AddressSanitizer and UBSan in
# build-fuzz, then runs each for a fixed time on its seed corpus; fails on a crash, a sanitizer
# report, a failed check, a leak or an input that runs too long. Run as root on Debian 12.
#   sh tools/check_fuzz.sh [seconds per harness, default 30]
set -e
cd "$(dirname "$0")/.."
SECONDS_EACH=${1:-${FUZZ_SECONDS:-30}}
HARNESSES="select_statement text_matcher paste_text paste_vcldbif"

sh tools/deps.sh
# clang, and its runtime that holds libFuzzer (libclang_rt.fuzzer).
missing=""
for p in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends $missing
fi

# Everything the harnesses reach is instrumented for the fuzzer's coverage; undefined behaviour
# stops the run like a crash.
FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
launcher=""
command -v ccache >/dev/null 2>&1 && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache"
# shellcheck disable=SC2086
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPHONEBOOK_BENCH=OFF \
  -DCMAKE_C_FLAGS="$FLAGS" -DCMAKE_CXX_FLAGS="$FLAGS" -UPB_HAVE_LIBFUZZER $launcher >/dev/null
if ! grep -q '^PB_HAVE_LIBFUZZER:INTERNAL=1' build-fuzz/CMakeCache.txt; then
  echo "clang cannot link with libFuzzer (-fsanitize=fuzzer): see build-fuzz/CMakeFiles/CMakeError.log"
  exit 1
fi
targets=""
for h in $HARNESSES; do targets="$targets fuzz_$h"; done
# shellcheck disable=SC2086
cmake --build build-fuzz -j"$(nproc)" --target $targets

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
# Fontconfig keeps its caches for the life of the process; Qt's fonts start it on the first paste.
export LSAN_OPTIONS="suppressions=$(pwd)/tests/fuzz/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
mkdir -p build-fuzz/artifacts
failed=""
for h in $HARNESSES; do
  # New inputs go to a working corpus beside the build; the checked-in seeds stay as they are.
  mkdir -p "build-fuzz/corpus/$h"
  echo "Fuzzing $h for $SECONDS_EACH s"
  if ! "./build-fuzz/tests/fuzz/fuzz_$h" -max_total_time="$SECONDS_EACH" -timeout=20 -rss_limit_mb=4096 \
      -max_len=4096 -print_final_stats=1 -artifact_prefix="build-fuzz/artifacts/$h-" \
      "build-fuzz/corpus/$h" "tests/fuzz/corpus/$h" >"build-fuzz/$h.log" 2>&1; then
    tail -n 60 "build-fuzz/$h.log"
    failed="$failed $h"
  else
    grep -E "^(stat::number_of_executed_units|Done)" "build-fuzz/$h.log" || true
  fi
done
if [ -n "$failed" ]; then
  echo "Fuzzing found faults in:$failed (inputs in build-fuzz/artifacts)"
  ls build-fuzz/artifacts
  exit 1
fi
echo "Fuzzing: no crash in$(echo " $HARNESSES" | sed 's/ /, /g; s/^, / /')."
