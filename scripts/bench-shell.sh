#!/usr/bin/env bash
# Measures the desktop program's shell under Xvfb and prints the figures:
#   - start-up: from starting the program to the first frame its window
#     renders (the device menu, under the splash), against the time the same
#     program takes to answer --version (process start, libraries, Qt's
#     application object and display connection): the ratio says what the
#     fonts, QML types and documents add;
#   - idle: the program's CPU use while the device menu is open and nothing
#     happens (goal: below 1 % of one core), and the frames it draws then.
# Usage: scripts/bench-shell.sh [program] [runs]; without a display it runs
# itself under xvfb-run. The machine is shared: the load average is printed
# with the figures.
set -euo pipefail

program=${1:-build/SarvikZiruvavo/SarvikZiruvavo}
runs=${2:-5}
idle_seconds=10

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
[ -x "$program" ] || { echo "bench-shell: no program at $program (build it first)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"

now_ns() { date +%s%N; }

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Milliseconds the program takes to answer --version.
version_ms() {
  local start end
  start=$(now_ns)
  "$program" --version >/dev/null 2>&1
  end=$(now_ns)
  echo $(((end - start) / 1000000))
}

# The render loop reports each frame; a frame whose sync, render and swap
# all took 0 ms drew nothing yet.
drawn_frame='Frame rendered with .*(sync=[1-9]|render=[1-9]|swap=[1-9])'

# Starts the program with its frames reported to $work/log; sets $pid.
start_program() {
  : >"$work/log"
  SARVIK_LOG_LEVEL=1 QT_LOGGING_RULES="qt.scenegraph.time.renderloop.debug=true" \
    "$program" 2>"$work/log" &
  pid=$!
}

stop_program() {
  kill -TERM "$pid"
  local status=0
  wait "$pid" || status=$?
  [ "$status" -eq 0 ] || echo "bench-shell: the program ended with $status" >&2
}

# Milliseconds from start to the first drawn frame.
first_frame_ms() {
  local start deadline
  start=$(now_ns)
  start_program
  deadline=$((start + 30000000000))
  until grep -Eq "$drawn_frame" "$work/log"; do
    if [ "$(now_ns)" -gt "$deadline" ]; then
      echo "bench-shell: no frame within 30 s" >&2
      stop_program
      return 1
    fi
    sleep 0.002
  done
  local seen
  seen=$(now_ns)
  stop_program
  echo $(((seen - start) / 1000000))
}

for _ in $(seq "$runs"); do version_ms; done >"$work/version"
for _ in $(seq "$runs"); do first_frame_ms; done >"$work/frame"
baseline=$(median <"$work/version")
startup=$(median <"$work/frame")

# Idle: after the splash has faded, CPU ticks and frames over idle_seconds.
start_program
sleep 3
ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
frames_before=$(grep -Ec "$drawn_frame" "$work/log" || true)
ticks_before=$(ticks)
sleep "$idle_seconds"
ticks_after=$(ticks)
frames_after=$(grep -Ec "$drawn_frame" "$work/log" || true)
stop_program
hz=$(getconf CLK_TCK)
cpu=$(awk -v t=$((ticks_after - ticks_before)) -v hz="$hz" -v s="$idle_seconds" 'BEGIN { printf "%.2f", 100 * t / hz / s }')
verdict=$(awk -v c="$cpu" 'BEGIN { print (c < 1.0) ? "met" : "not met" }')

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "--version answered (baseline), median of $runs: ${baseline} ms"
echo "start-up to the first frame, median of $runs:   ${startup} ms ($(awk -v a="$startup" -v b="$baseline" 'BEGIN { printf "%.1f", a / b }') x the baseline)"
echo "idle with the device menu over ${idle_seconds} s:       ${cpu} % of one core, $((frames_after - frames_before)) frames drawn; goal below 1 %: $verdict"
