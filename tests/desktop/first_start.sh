#!/usr/bin/env bash
# First start on a virtual X display: no settings files in the data directory and no port that
# opens. The load asks for the port while the splash window is still on the screen, so the port
# dialog "Select a Comm Port" and the splash must be mapped at once, stacked dialog over splash
# over main window (a splash hidden under the main window is not on the screen for the user).
#
#   first_start.sh PATH/TO/kestrand-upload
set -euo pipefail
program=$1
for tool in Xvfb xwininfo xprop; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done

work=$(mktemp -d)
pids=()
finish() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT

# A copy of the program keeps its data beside it: a fresh data directory. Each COMn there is a
# plain file, which no port opening accepts.
mkdir "$work/data"
cp "$program" "$work/data/kestrand-upload"
for n in 1 2 3 4 5; do : >"$work/data/COM$n"; done

# Xvfb picks a free display itself and writes its number to descriptor 3.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
if [ ! -s "$work/display" ]; then
  echo "SKIP: Xvfb did not start: $(cat "$work/xvfb.log")"
  exit 77
fi
export DISPLAY=:$(head -n1 "$work/display")
QT_QPA_PLATFORM=xcb "$work/data/kestrand-upload" >"$work/program.log" 2>&1 &
pids+=($!)

# The top-level windows that are mapped, topmost first, each as "ROLE ID": dialog, splash, main
# or other.
mapped_windows() {
  xwininfo -root -children | sed -n 's/^ *\(0x[0-9a-f]*\) .*/\1/p' | while read -r id; do
    xwininfo -id "$id" | grep -q 'Map State: IsViewable' || continue
    local name type
    name=$(xprop -id "$id" WM_NAME 2>/dev/null || true)
    type=$(xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null || true)
    if [[ $name == *'"Select a Comm Port"'* ]]; then
      echo "dialog $id"
    elif [[ $type == *_NET_WM_WINDOW_TYPE_SPLASH* ]]; then
      echo "splash $id"
    elif [[ $name == *'"Kestrand Data Upload"'* && $type == *_NET_WM_WINDOW_TYPE_NORMAL* ]]; then
      echo "main $id"
    fi
  done
}

# The splash stays three seconds before the load asks for the port.
stack=""
for _ in $(seq 300); do
  stack=$(mapped_windows | cut -d' ' -f1 | tr '\n' ' ')
  [[ $stack == *dialog* ]] && break
  sleep 0.1
done
echo "mapped, topmost first: $stack"
if [[ $stack != *dialog* ]]; then
  echo "FAIL: the port dialog never came up"
  cat "$work/program.log"
  exit 1
fi
if [[ $stack != "dialog splash main " ]]; then
  echo "FAIL: expected the dialog over the splash over the main window"
  exit 1
fi
echo "PASS"
