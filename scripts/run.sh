#!/usr/bin/env bash
# Builds the desktop program and starts it from its build directory (its data directory).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default
cmake --build --preset default -j "$(nproc)" --target kestrand-upload
exec build/bin/kestrand-upload
