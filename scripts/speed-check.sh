#!/usr/bin/env bash
# Whole-process speed of kestrand-cli on the largest upload (16300 samples, 16 value columns and
# the moving average), against what a user would do instead: read and rewrite the same CSV with
# pandas; and the assessment of the largest whole upload (27 such files) against the statistics
# of it. Each command runs RUNS times, interleaved with the others so that load on the machine
# falls on all of them alike; the medians and their ratio to the pandas round trip are printed.
# Debian's pandas is imported by Debian's own python3 (/usr/bin/python3). It prints only:
# timings on a shared machine vary, so it never fails on a figure.
#
#   scripts/speed-check.sh [BUILD_DIR] [RUNS]     (build by default, 7 runs)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-7}
cli=$build/bin/kestrand-cli
sim=$build/bin/kestrand-meter-sim
whole_bench=$build/bin/whole_upload_bench
for exe in "$cli" "$sim" "$whole_bench"; do
  [[ -x $exe ]] || { echo "speed-check: $exe is missing; build first" >&2; exit 2; }
done
/usr/bin/python3 -c 'import pandas' 2>/dev/null || { echo "speed-check: python3-pandas is missing" >&2; exit 2; }

work=$(mktemp -d)
trap 'kill "${rx:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir "$work/data"

# The largest upload, received through a pseudo-terminal exactly as from a meter.
"$sim" --link "$work/tty" --records 16300 --records-per-message 20 --columns 0xFFFF \
  --move-avg 4 --seed 7 >"$work/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do [[ -e $work/tty ]] && break; sleep 0.1; done
"$cli" receive --port "$work/tty" --data-dir "$work/data" --once >/dev/null 2>"$work/rx.log" &
rx=$!
wait "$sim_pid" || { cat "$work/sim.log" >&2; exit 1; }
wait "$rx" || true
raw=$(find "$work/data" -name 'QV*.dat' | head -1)
[[ -n $raw ]] || { echo "speed-check: the upload left no raw data file" >&2; exit 1; }
"$cli" export "$raw" "$work/big.csv" --data-dir "$work/data" 2>/dev/null
printf 'file: %s bytes raw, %s bytes CSV\n' "$(stat -c %s "$raw")" "$(stat -c %s "$work/big.csv")"

cat >"$work/pandas_round_trip.py" <<'EOF'
import sys
import pandas as pd
pd.read_csv(sys.argv[1], encoding="cp1252").to_csv(sys.argv[2], index=False)
EOF

mkdir "$work/whole"
"$whole_bench" --write-upload "$work/whole"
whole="$work/whole/QV 15.Jan.06  23.55.09.dat"

names=(pandas version export view stats chart stats-whole assess-whole chart-whole report-whole
  report-summary)
cmds=(
  "/usr/bin/python3 $work/pandas_round_trip.py $work/big.csv $work/pandas.csv"
  "$cli --version"
  "$cli export '$raw' $work/out.csv --data-dir $work/data"
  "$cli view '$raw' --data-dir $work/data"
  "$cli stats '$raw' --data-dir $work/data"
  "$cli chart '$raw' --png $work/one.png --data-dir $work/data"
  "$cli stats '$whole' --whole --data-dir $work/whole"
  "$cli assess '$whole' --whole --standard icnirp1998-public --frequency 900MHz --data-dir $work/whole"
  "$cli chart '$whole' --whole --png $work/whole.png --data-dir $work/whole"
  "$cli report '$whole' --whole --pdf $work/whole.pdf --data-dir $work/whole"
  "$cli report '$whole' --whole --no-listing --pdf $work/summary.pdf --data-dir $work/whole"
)
# The least any Qt program's start costs: a minimal Qt Core program built here, when a compiler
# and Qt's headers are at hand.
cat >"$work/minimal.cpp" <<'EOF'
#include <QCoreApplication>
#include <cstdio>
int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::puts("Version");
  return 0;
}
EOF
if c++ -O2 -fPIC "$work/minimal.cpp" -o "$work/minimal" $(pkg-config --cflags --libs Qt6Core) \
  2>/dev/null; then
  names+=(qtcore)
  cmds+=("$work/minimal")
fi
declare -A times
for ((r = 0; r < runs; r++)); do
  for i in "${!names[@]}"; do
    start=$(date +%s%N)
    eval "${cmds[$i]}" >/dev/null 2>&1
    end=$(date +%s%N)
    times[${names[$i]}]+="$(((end - start) / 1000)) "
  done
done

median() { tr ' ' '\n' | grep . | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
ref=$(echo "${times[pandas]}" | median)
boot=$(echo "${times[version]}" | median)
printf '%s runs each; "less start-up" takes off the median of --version\n' "$runs"
printf '%-10s %10s %10s %16s %10s\n' command "median ms" "/ pandas" "less start-up" "/ pandas"
for n in "${names[@]}"; do
  m=$(echo "${times[$n]}" | median)
  awk -v n="$n" -v m="$m" -v r="$ref" -v b="$boot" 'BEGIN {
    printf "%-10s %10.1f %10.3f %16.1f %10.3f\n", n, m / 1000, m / r, (m - b) / 1000, (m - b) / r }'
done
if [[ -n ${times[qtcore]:-} ]]; then
  awk -v b="$boot" -v q="$(echo "${times[qtcore]}" | median)" 'BEGIN {
    printf "start-up: --version %.1f ms, a minimal Qt Core program %.1f ms, ratio %.2f\n",
      b / 1000, q / 1000, b / q }'
fi
med() { echo "${times[$1]}" | median; }
# The median over the rounds of the ratio of two commands' times within a round: they ran close
# together, so the machine's speed drifts less between them than between the medians above.
# With a third argument, start-up (--version) is taken off both first.
paired() {
  awk -v x="${times[$1]}" -v y="${times[$2]}" -v b="${times[version]}" -v less="${3:-}" 'BEGIN {
    n = split(x, a, " "); split(y, d, " "); split(b, v, " ")
    for (k = 1; k <= n; k++) q[k] = less != "" ? (a[k] - v[k]) / (d[k] - v[k]) : a[k] / d[k]
    for (i = 2; i <= n; i++)
      for (j = i; j > 1 && q[j - 1] > q[j]; j--) { t = q[j]; q[j] = q[j - 1]; q[j - 1] = t }
    printf "%.2f", q[int((n + 1) / 2)] }'
}
printf 'ratios of the medians, and (in brackets) the median of the ratios round by round:\n'
awk -v b="$boot" -v one="$(med stats)" -v sw="$(med stats-whole)" -v aw="$(med assess-whole)" \
  -v cw="$(med chart-whole)" -v rw="$(med report-whole)" -v rs="$(med report-summary)" \
  -v p1="$(paired stats-whole stats less)" -v p2="$(paired assess-whole stats-whole)" \
  -v p3="$(paired chart-whole stats-whole)" -v p4="$(paired report-whole stats-whole)" \
  -v p5="$(paired report-summary stats-whole)" 'BEGIN {
  printf "stats --whole / stats, less start-up: %.2f [%s] (12 at most wanted)\n", (sw - b) / (one - b), p1
  printf "assess --whole / stats --whole: %.2f [%s]\n", aw / sw, p2
  printf "chart --whole / stats --whole: %.2f [%s] (1.5 at most wanted)\n", cw / sw, p3
  printf "report --whole / stats --whole: %.2f [%s] (25 at most wanted)\n", rw / sw, p4
  printf "report --whole --no-listing / stats --whole: %.2f [%s] (3 at most wanted)\n", rs / sw, p5 }'
printf 'report --whole PDF: %s bytes, %s pages\n' "$(stat -c %s "$work/whole.pdf")" \
  "$(pdfinfo "$work/whole.pdf" 2>/dev/null | awk '/^Pages:/ {print $2}')"

# Resident memory at its peak, above that of --version (the Qt libraries).
peak() {
  /usr/bin/python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)' "$@"
}
base=$(peak "$cli" --version)
for args in "stats --whole" "chart --whole --png $work/whole.png" "report --whole --no-listing --pdf $work/summary.pdf"; do
  # shellcheck disable=SC2086
  kb=$(peak "$cli" $args "$whole" --data-dir "$work/whole")
  awk -v a="$args" -v k="$kb" -v b="$base" 'BEGIN { printf "%-40s %6.1f MB above start-up\n", a, (k - b) / 1024 }'
done
