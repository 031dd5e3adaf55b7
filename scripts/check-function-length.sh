#!/usr/bin/env bash
# Checks that no function of the program's own code is longer than 60 lines (clang-tidy's
# readability-function-size over the optimised build's compile_commands.json). The functions
# still over the limit are listed in scripts/long-functions.txt, one "file function" a line, until
# they are shortened: a function over the limit that is not listed fails the check, and so does a
# listed one that is no longer over it (so the list only shrinks).
set -euo pipefail
cd "$(dirname "$0")/.."
files=$(git ls-files -co --exclude-standard -- '*.cpp' |
  grep -E '^(core|datetime|store|link|view|app|cli|desktop|ports|adapters)/' | sort)
# shellcheck disable=SC2086
# clang-tidy's own status also counts what its other diagnostics say; only the warnings of the
# one check are read here.
found=$({ clang-tidy -p build --quiet --checks='-*,readability-function-size' \
  --config='{CheckOptions: [{key: readability-function-size.LineThreshold, value: 60}]}' \
  $files 2>/dev/null || true; } |
  sed -nE "s|^$PWD/([^:]+):[0-9]+:[0-9]+: warning: function '([^']+)' exceeds.*|\1 \2|p" | sort -u)
# grep finds no line once every function is short; that is no failure.
listed=$({ grep -v '^#' scripts/long-functions.txt || true; } | sed '/^$/d' | sort -u)
new=$(comm -23 <(echo "$found") <(echo "$listed") | sed '/^$/d')
gone=$(comm -13 <(echo "$found") <(echo "$listed") | sed '/^$/d')
if [[ -n $new ]]; then
  echo "Functions over 60 lines (shorten them):"
  echo "$new"
fi
if [[ -n $gone ]]; then
  echo "No longer over 60 lines; remove from scripts/long-functions.txt:"
  echo "$gone"
fi
[[ -z $new && -z $gone ]]
echo "function length: $(echo "$listed" | sed '/^$/d' | wc -l) listed functions still over 60 lines"
