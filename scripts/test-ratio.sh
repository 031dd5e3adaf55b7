#!/usr/bin/env bash
# Prints the non-blank lines of test code (.cpp/.h under tests/ and fuzz/) against those of the
# program's code (every other .cpp/.h outside bench/ and the build trees), and their ratio.
# The project keeps the ratio at most 0.40.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { xargs -r cat | grep -cv '^[[:space:]]*$' || true; }
files=$(git ls-files -co --exclude-standard '*.cpp' '*.h')
tests=$(grep -E '^(tests|fuzz)/' <<<"$files" | count)
code=$(grep -vE '^(tests|fuzz|bench)/' <<<"$files" | count)
awk -v t="$tests" -v c="$code" 'BEGIN { printf "tests %d, code %d, ratio %.3f\n", t, c, t / c }'
