#!/usr/bin/env bash
# Checks every #include of the program's own headers against scripts/layers.txt, which says which
# folder may include from which. Prints each include that crosses the table as
#   FILE:LINE: includes "HEADER", which FOLDER may not
# and fails when there is one. Run from anywhere; checks the tracked and new files of the tree.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -co --exclude-standard -- '*.cpp' '*.h' |
  awk -v table=scripts/layers.txt '
  BEGIN {
    while ((getline line < table) > 0) {
      sub(/#.*/, "", line)
      if (line !~ /:/) continue
      folder = line; sub(/:.*/, "", folder)
      rest = line; sub(/^[^:]*:/, "", rest)
      allowed[folder] = rest
      n = split(folder, parts, "/"); top[parts[1]] = 1
    }
    bad = 0
  }
  {
    file = $0
    rule = ""
    for (f in allowed)
      if ((file == f || index(file, f "/") == 1) && length(f) > length(rule)) rule = f
    if (rule == "") next
    n = split(allowed[rule], ok, " ")
    lineno = 0
    while ((getline text < file) > 0) {
      lineno++
      if (text !~ /^[ \t]*#[ \t]*include[ \t]*"/) continue
      header = text; sub(/^[^"]*"/, "", header); sub(/".*/, "", header)
      split(header, hp, "/")
      if (!(hp[1] in top) || header !~ /\//) continue
      dir = header; sub(/\/[^\/]*$/, "", dir)
      pass = 0
      for (i = 1; i <= n; i++) {
        entry = ok[i]
        if (entry ~ /\/\*\*$/) {
          base = substr(entry, 1, length(entry) - 3)
          if (dir == base || index(dir, base "/") == 1) pass = 1
        } else if (dir == entry || header == entry) pass = 1
      }
      if (!pass) {
        printf "%s:%d: includes \"%s\", which %s may not\n", file, lineno, header, rule
        bad = 1
      }
    }
    close(file)
  }
  END { exit bad }'
