#!/usr/bin/env bash
# Installs what the tests need, builds, and runs the whole suite:
#   1. Release build in build/: every test (unit, process, e2e under Xvfb);
#   2. AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/: unit and process tests;
#   3. clang libFuzzer build in build-fuzz/: each fuzz target for a bounded time;
#   4. as root only: the Debian package built, installed, used and removed (packaging/check_deb.sh).
# Exits non-zero on the first failing stage.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "$here"
jobs=$(nproc)
"$here/scripts/install_packages.sh" test

echo "== Release build and full suite"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

if [ "$(id -u)" -eq 0 ]; then
  echo "== Debian package: build, install, use, remove"
  "$here/scripts/install_packages.sh" package
  "$here/packaging/check_deb.sh" build
else
  echo "== Debian package check skipped (it installs the package: run as root)"
fi

echo "== Sanitizer build: unit and process tests"
# -O1 and line tables only: the build takes about 60 % of the time of -O2 -g, the tests barely longer,
# and the sanitizers' reports still name file and line.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSV_SANITIZE=ON -DSV_BENCH=OFF \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG" >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" -L 'unit|process'

echo "== Fuzzing (bounded)"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSV_FUZZ=ON \
  -DSV_TESTS=ON -DSV_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "$jobs" --target fuzz_all
ctest --test-dir build-fuzz --output-on-failure -j "$jobs" -L fuzz
echo "== All tests passed"
