#!/usr/bin/env bash
# Builds scatterview (Release, into build/) and starts it on the given data file,
# or on the bundled sample when no file is given.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$here/scripts/install_packages.sh" run
cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=Release -DSV_TESTS=OFF -DSV_BENCH=OFF >/dev/null
cmake --build "$here/build" -j "$(nproc)" >/dev/null
if [ $# -eq 0 ]; then
  set -- "$here/examples/lorenz.csv"
fi
exec "$here/build/scatterview" "$@"
