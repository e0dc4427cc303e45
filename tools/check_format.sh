#!/bin/sh
# Fails when a C++ file of the tree differs from what clang-format makes of it (.clang-format).
# With --fix it formats the files in place instead.
set -e
cd "$(dirname "$0")/.."
files=$(git ls-files '*.cpp' '*.h')
if [ "$1" = "--fix" ]; then
  # shellcheck disable=SC2086
  clang-format -i $files
  exit 0
fi
# shellcheck disable=SC2086
clang-format --dry-run -Werror $files
echo "Formatting: every C++ file as clang-format makes it."
