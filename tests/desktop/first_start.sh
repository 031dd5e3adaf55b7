#!/usr/bin/env bash
# Both starts on a virtual X display, the splash watched from its first moment.
# First start: no settings files in the data directory and no port that opens. The load asks for
# the port while the splash window is still on the screen, so the port dialog "Select a Comm
# Port" and the splash must be mapped at once, stacked dialog over splash over main window (a
# splash hidden under the main window is not on the screen for the user).
# Normal start: a port saved, which opens (the simulator's pseudo-terminal behind COM1).
# At both, the splash stands for its three seconds in one place, the main window's middle, and
# the main window comes up around it.
#
#   first_start.sh PATH/TO/kestrand-upload [PATH/TO/kestrand-meter-sim]
set -euo pipefail
program=$1
sim=${2:-}
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

# Xvfb picks a free display itself and writes its number to descriptor 3. It must not reset when
# its last client goes (each look below is a client): a program connecting during a reset on a
# busy machine finds no display and aborts.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
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

# A window's place on the screen: "X Y WIDTH HEIGHT".
# Empty when the window has gone meanwhile.
place() {
  { xwininfo -id "$1" 2>/dev/null || true; } | awk '/Absolute upper-left X/ {x = $NF}
    /Absolute upper-left Y/ {y = $NF} /Width:/ {w = $NF} /Height:/ {h = $NF}
    END {if (w != "") print x, y, w, h}'
}
# Whether the place $1 lies inside the place $2.
inside() {
  read -r x y w h <<<"$1"
  read -r X Y W H <<<"$2"
  ((x >= X && y >= Y && x + w <= X + W && y + h <= Y + H))
}

# The splash stays three seconds before the load asks for the port, in one place.
stack=""
first_place=""
for _ in $(seq 600); do
  windows=$(mapped_windows)
  stack=$(cut -d' ' -f1 <<<"$windows" | tr '\n' ' ')
  splash=$(awk '$1 == "splash" {print $2}' <<<"$windows")
  [[ -z $first_place && -n $splash ]] && first_place=$(place "$splash")
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
splash_place=$(place "$splash")
main_place=$(place "$(awk '$1 == "main" {print $2}' <<<"$windows")")
echo "splash at first: $first_place; with the dialog: $splash_place; main window: $main_place"
[[ $first_place == "$splash_place" ]] || { echo "FAIL: the splash moved"; exit 1; }
inside "$splash_place" "$main_place" || { echo "FAIL: the splash is not over the main window"; exit 1; }
kill "${pids[-1]}"
wait "${pids[-1]}" 2>/dev/null || true

# The normal start: the splash alone on the screen for its three seconds, in one place; then the
# main window around where it stood.
if [[ -z $sim ]]; then
  echo "PASS (the normal start needs the simulator's path)"
  exit 0
fi
rm -f "$work/data/COM1"
echo " 1" >"$work/data/riviriro.inf"
"$sim" --link "$work/data/COM1" --records 5 >"$work/sim.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [[ -e $work/data/COM1 ]] && break; sleep 0.1; done
QT_QPA_PLATFORM=xcb "$work/data/kestrand-upload" >"$work/program.log" 2>&1 &
pids+=($!)
places=()
main=""
seen_from=""
unseen_at=""
# The waits guard against a hang only. The splash's time on the screen is taken from the last
# look that did not see it yet, so that a machine too busy to look often does not shorten it.
for _ in $(seq 600); do
  looked_at=$(date +%s%N)
  windows=$(mapped_windows)
  main=$(awk '$1 == "main" {print $2}' <<<"$windows")
  [[ -n $main ]] && break
  splash=$(awk '$1 == "splash" {print $2}' <<<"$windows")
  at=$([[ -n $splash ]] && place "$splash" || true)
  if [[ -n $at ]]; then
    places+=("$at")
    [[ -n $seen_from ]] || seen_from=${unseen_at:-$looked_at}
  elif [[ -z $seen_from ]]; then
    unseen_at=$looked_at
  fi
  sleep 0.1
done
seen_ms=$((($(date +%s%N) - ${seen_from:-$(date +%s%N)}) / 1000000))
[[ -n $main ]] || { echo "FAIL: no main window at the normal start"; cat "$work/program.log"; exit 1; }
sleep 0.5
echo "normal start: the splash alone for up to $seen_ms ms; main window: $(place "$main")"
((seen_ms >= 2500)) || { echo "FAIL: the splash was not on the screen for its three seconds"; exit 1; }
for p in "${places[@]}"; do
  [[ $p == "${places[0]}" ]] || { echo "FAIL: the splash moved: $p"; exit 1; }
done
inside "${places[0]}" "$(place "$main")" || { echo "FAIL: the splash stood off the main window"; exit 1; }
[[ $(mapped_windows | cut -d' ' -f1 | tr '\n' ' ') == "main " ]] ||
  { echo "FAIL: the splash outlived the load"; exit 1; }
echo "PASS"
