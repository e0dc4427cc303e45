#!/bin/sh
# Sets up and starts the program on its bundled demo directory.
set -e
cd "$(dirname "$0")/.."
sh tools/deps.sh
sh tools/build.sh
if [ ! -f build/src/app/phonebook.mdb ]; then
  echo "Creating the demo directory (100 000 entries)..."
  build/tools/make_demo_directory build/src/app/phonebook.mdb 100000
fi
exec build/src/app/phonebook "$@"
