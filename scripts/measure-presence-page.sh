#!/usr/bin/env bash
# What the whole program costs with a live presence page: runs the end-to-end
# test build of the program (build/SarvikZiruvavo/tests/sarvik_e2e_PresenceSession)
# under Xvfb, which finds and configures the simulated presence module, holds
# the live presence page for HOLD seconds, then the page of the recording it
# made, played at 20 times its pace, for HOLD seconds more. Samples the
# program's processor time (all its threads) and resident memory every 10 s
# and prints, for each hold, the share of one core and the memory at its
# first minute and at its end.
#
#   scripts/measure-presence-page.sh [HOLD seconds, default 600] [build dir, default build]
set -euo pipefail

hold=${1:-600}
build=${2:-build}
program=$build/SarvikZiruvavo/tests/sarvik_e2e_PresenceSession
[ -x "$program" ] || { echo "no $program: build the target sarvik_e2e_PresenceSession" >&2; exit 1; }

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME=$home XDG_CONFIG_HOME=$home/.config XDG_RUNTIME_DIR=$home/run SARVIK_E2E_HOLD_SECONDS=$hold
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
out=$home/out
xvfb-run -a -s "-screen 0 1280x1024x24" "$program" > "$out" 2>&1 &
runner=$!

ticks=$(getconf CLK_TCK)
page_size=$(getconf PAGESIZE)
# The program's pid: the test build under xvfb-run.
pid=""
for _ in $(seq 1 300); do
  pid=$(pgrep -n -f "^$program" || true)
  [ -n "$pid" ] && break
  sleep 0.2
done
[ -n "$pid" ] || { echo "the program did not start" >&2; cat "$out"; exit 1; }

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
resident_mb() { awk -v p="$page_size" '{ printf "%.1f", $2 * p / 1e6 }' "/proc/$pid/statm"; }

measure() { # the name of the hold
  local name=$1 start_ticks start first="" now
  until grep -q "^HOLD $name " "$out"; do
    kill -0 "$pid" 2>/dev/null || { echo "the program ended before the $name page" >&2; cat "$out"; exit 1; }
    sleep 0.5
  done
  start_ticks=$(cpu_ticks)
  start=$(date +%s.%N)
  while ! grep -q "^HOLD END $name" "$out"; do
    sleep 10
    now=$(date +%s.%N)
    if [ -z "$first" ] && awk -v a="$now" -v b="$start" 'BEGIN { exit !(a - b >= 60) }'; then
      first=$(resident_mb)
    fi
    last_ticks=$(cpu_ticks)
    last=$now
    last_mb=$(resident_mb)
  done
  awk -v t="$((last_ticks - start_ticks))" -v hz="$ticks" -v a="$last" -v b="$start" -v name="$name" \
      -v first="${first:-n/a}" -v end="$last_mb" \
      'BEGIN { printf "%-13s %5.1f %% of a core over %4.0f s; resident %s MB after 1 min, %s MB at the end\n",
               name, 100 * t / hz / (a - b), a - b, first, end }'
}

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
measure live
measure playback-x20
wait "$runner" && echo "the program ended with exit 0" || echo "the program ended with exit $?"
