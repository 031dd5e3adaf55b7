#!/usr/bin/env bash
# Makes the README's pictures in docs/ from the default build, as a user would see them:
#   docs/upload.png  the "Incoming Data" tab during an upload from the simulator, taken from a
#                    virtual X display (Xvfb, xwd and ImageMagick's convert);
#   docs/chart.png   "QV survey.csv" (an hour of four columns with a peak, made here) drawn by
#                    kestrand-cli chart at 1000x540 with a reference level of 5 V/m;
#   docs/report.png  the first page of its survey report (kestrand-cli report, with notes),
#                    at 60 dots per inch (pdftoppm).
#
#   scripts/docs-pictures.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
bin=$(cd "$build/bin" && pwd)
docs=$(pwd)/docs
for tool in Xvfb xwd convert pdftoppm python3; do
  command -v "$tool" >/dev/null || { echo "docs-pictures: $tool is missing" >&2; exit 2; }
done
work=$(mktemp -d)
pids=()
finish() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT

# The survey: 09:30 to 10:30, a second apart, a peak at 10:05 that passes 5 V/m in the field.
python3 - "$work/QV survey.csv" <<'PY'
import math, random, sys
random.seed(5)
rows = ['"Date","Time","X-Point","Y-Point","Z-Point","Field","Probe","Units"']
for j in range(3600):
    t = 9 * 3600 + 30 * 60 + j
    h, m, s = t // 3600, t // 60 % 60, t % 60
    drift = 0.25 * math.sin(j / 1150.0)
    peak = math.exp(-((j - 2100) / 170.0) ** 2)
    x = 0.85 + drift + 3.4 * peak + random.gauss(0, 0.05)
    y = 0.8 + drift + 3.8 * peak + random.gauss(0, 0.05)
    z = 0.5 + drift * 0.4 + 1.9 * peak + random.gauss(0, 0.04)
    values = ",".join(f"{v:.3f}" for v in (x, y, z, math.sqrt(x * x + y * y + z * z)))
    probe = "QV-1100" if j == 0 else ""
    rows.append(f'"12/05/2006","{h % 12 or 12:02d}:{m:02d}:{s:02d} {"AM" if h < 12 else "PM"}",'
                f'{values},"{probe}","V/m"')
open(sys.argv[1], "w", newline="").write("\r\n".join(rows) + "\r\n")
PY
mkdir "$work/data"
"$bin/kestrand-cli" notes "$work/QV survey.csv" --site "Building 3, roof, north mast" \
  --operator "J. Nowak" --comment "Two GSM panels on the mast."
"$bin/kestrand-cli" chart "$work/QV survey.csv" --png "$docs/chart.png" --size 1000x540 \
  --reference 5 --data-dir "$work/data" 2>/dev/null
"$bin/kestrand-cli" report "$work/QV survey.csv" --pdf "$work/report.pdf" --reference 5 \
  --data-dir "$work/data" 2>/dev/null
pdftoppm -f 1 -l 1 -r 60 -png -singlefile "$work/report.pdf" "$docs/report"

# The upload, five seconds after its header, on a display of its own.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -n1 "$work/display")
mkdir "$work/window"
cp "$bin/kestrand-upload" "$work/window/"
echo " 1" >"$work/window/riviriro.inf"
"$bin/kestrand-meter-sim" --link "$work/window/COM1" --records 3000 --columns 0xFFFF \
  --move-avg 4 --pace --records-per-message 5 >/dev/null 2>&1 &
pids+=($!)
sleep 0.5
QT_QPA_PLATFORM=xcb "$work/window/kestrand-upload" >/dev/null 2>&1 &
pids+=($!)
sleep 9
# The main window stands in the middle of the screen.
xwd -root -silent | convert xwd:- -crop 1100x600+90+212 +repage "$docs/upload.png"
echo "docs-pictures: docs/upload.png, docs/chart.png and docs/report.png made"
