#!/usr/bin/env bash
# Installs what is missing, builds the library, its tests and the benchmark, and
# runs every test (the benchmark only as a smoke run on tiny files).
# OXL_BUILD_DIR and OXL_CMAKE_ARGS select another build (the sanitizer run uses them).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
build=${OXL_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=${OXL_BUILD_TYPE:-RelWithDebInfo} -DOXL_BUILD_TESTS=ON -DOXL_BUILD_BENCH=ON ${OXL_CMAKE_ARGS:-}
cmake --build "$build" -j2
ctest --test-dir "$build" --output-on-failure -j2 --timeout 300
