#!/usr/bin/env bash
# kestrand-cli starts without the drawing libraries: the commands that only read and print load
# Qt Core (and the serial port), not the windowing system's platform, fonts and widgets; the
# commands that draw still draw, through the drawing half (a module) beside it, which loads Qt Gui
# without the widgets.
#
#   start_up.sh PATH/TO/kestrand-cli
set -euo pipefail
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

needed=$(readelf -d "$cli" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ')
echo "kestrand-cli needs: $needed"
[[ $needed == *libQt6Core* ]] || fail "no Qt Core among the libraries"
for lib in Gui Widgets PrintSupport; do
  [[ $needed != *libQt6$lib* ]] || fail "kestrand-cli loads libQt6$lib at every start"
done

# What the process maps while it runs a command that reads (the loader's own list).
printf '"12/05/2006","02:05:33 PM",0,1\r\n1,1,0\r\n1,0\r\n1\r\n1,0\r\n2\r\n' >"$work/one.dat"
LD_DEBUG=files "$cli" stats "$work/one.dat" >"$work/stats.txt" 2>"$work/loaded.txt" ||
  fail "stats failed: $(cat "$work/stats.txt")"
! grep -q 'libQt6Gui' "$work/loaded.txt" || fail "stats loads libQt6Gui"

# The commands that draw: a chart, a printed PDF, a report.
LD_DEBUG=files "$cli" chart "$work/one.dat" --png "$work/one.png" 2>"$work/loaded.txt" ||
  fail "chart failed"
[ "$(head -c 4 "$work/one.png" | tail -c 3)" = PNG ] || fail "chart wrote no PNG"
# Drawing needs Qt Gui; the widgets and print support only the desktop's printer.
grep -q 'libQt6Gui' "$work/loaded.txt" || fail "chart drew without libQt6Gui"
! grep -q 'libQt6Widgets\|libQt6PrintSupport' "$work/loaded.txt" ||
  fail "chart loads the widget libraries"
"$cli" print "$work/one.dat" --pdf "$work/one.pdf" 2>>"$work/err.txt" || fail "print --pdf failed"
"$cli" report "$work/one.dat" --pdf "$work/report.pdf" 2>>"$work/err.txt" || fail "report failed"
for pdf in one report; do
  [ "$(head -c 5 "$work/$pdf.pdf")" = %PDF- ] || fail "$pdf.pdf is no PDF"
done
"$cli" print "$work/one.dat" --text "$work/one.txt" 2>>"$work/err.txt" || fail "print --text failed"
grep -q 'X-Point\|Date' "$work/one.txt" || fail "print --text wrote no listing"
echo "PASS"
