#!/usr/bin/env bash
# Prints the non-blank lines of test code against those of the program's code, and their ratio.
# Test code is every .cpp/.h under tests/, fuzz/, the test doubles in tests/fakes/ and the
# planted-fault tooling in tools/mutation/; program code is every other .cpp/.h but bench/ (the
# meter simulator in tools/meter_sim/ is program code). The project keeps the ratio at most 0.40.
#
#   scripts/test-ratio.sh          the tree as it is
#   scripts/test-ratio.sh BASE     also the change since commit BASE: test lines added minus 0.40
#                                  of the code lines added (at most 0 keeps the ratio in bounds)
set -euo pipefail
cd "$(dirname "$0")/.."
test_dirs='^(tests|fuzz|tools/mutation)/'
count() { xargs -r cat 2>/dev/null | grep -cv '^[[:space:]]*$' || true; }
measure() {  # prints "tests code" for the file list on standard input
  local files
  files=$(grep -E '\.(cpp|h)$' || true)
  printf '%s %s\n' "$(grep -E "$test_dirs" <<<"$files" | count)" \
    "$(grep -vE "$test_dirs|^bench/" <<<"$files" | count)"
}
read -r t c <<<"$(git ls-files -co --exclude-standard | measure)"
awk -v t="$t" -v c="$c" 'BEGIN { printf "tests %d, code %d, ratio %.3f\n", t, c, t / c }'
if [ $# -ge 1 ]; then
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' EXIT
  git archive "$1" | tar -x -C "$tmp"
  read -r bt bc <<<"$(cd "$tmp" && find . -type f | sed 's|^\./||' | measure)"
  awk -v t="$t" -v c="$c" -v bt="$bt" -v bc="$bc" 'BEGIN {
    printf "since %s: tests %+d, code %+d, tests - 0.40 x code = %+.0f\n", "'"$1"'", t - bt, c - bc,
      (t - bt) - 0.40 * (c - bc) }'
fi
