#!/usr/bin/env bash
# Builds and runs every test: the optimised build's unit, serial, pseudo-terminal and offscreen
# GUI tests, the same tests under AddressSanitizer and UndefinedBehaviorSanitizer, and the
# fuzzers for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
fuzz_seconds=${KESTRAND_FUZZ_SECONDS:-30}

echo "== optimised build and tests"
cmake --preset default
cmake --build --preset default -j "$jobs"
ctest --preset default -j "$jobs"

echo "== fuzzers, ${fuzz_seconds} s each"
fuzz/run.sh "$fuzz_seconds"

echo "== sanitizer build and tests"
cmake --preset asan
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

