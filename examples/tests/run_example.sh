#!/usr/bin/env bash
# Runs an example program against the simulated module and checks what it
# prints.
#
#   run_example.sh SIMMODULE MODE EXPECTED EXAMPLE [ARG...]
#
# MODE tcp or pty: the simulated module is started on that transport and the
# example must exit 0 with standard output matching the lines of EXPECTED, one
# extended regular expression per line, in order (other lines may come in
# between). MODE unreachable: the example, given a TCP port where nobody
# listens any more and then a serial port that does not exist, must exit 1
# with an error line on standard error. In the arguments @ADDRESS@
# stands for the module's address and @DIR@ for a fresh directory; both may
# also appear in EXPECTED. Each run of the example may take 20 seconds.
set -euo pipefail

if [ $# -lt 4 ]; then
  echo "usage: run_example.sh SIMMODULE tcp|pty|unreachable EXPECTED EXAMPLE [ARG...]" >&2
  exit 2
fi
simmodule=$1 mode=$2 expected=$3 example=$4
shift 4
name=$(basename "$example")

work=$(mktemp -d)
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# The example's arguments with the placeholders filled in.
arguments() {
  local address=$1
  shift
  local arg
  for arg in "$@"; do
    arg=${arg//@ADDRESS@/$address}
    printf '%s\0' "${arg//@DIR@/$work/session}"
  done
}

# Runs the example at the address; its exit status goes to $status, its
# output to $work/out and $work/err.
status=0
run() {
  local args=()
  mapfile -d '' -t args < <(arguments "$1" "${@:2}")
  status=0
  timeout --kill-after=5 20 "$example" "${args[@]}" >"$work/out" 2>"$work/err" || status=$?
}

show() {
  echo "--- $name standard output:"
  cat "$work/out"
  echo "--- $name standard error:"
  cat "$work/err"
}

# Starts the simulated module on the transport (--tcp or --pty) and sets
# $address to where the example finds it.
start_module() {
  # The module prints its port or its pseudo-terminal's path on its first line.
  exec {sim_out}< <(exec "$simmodule" "$1" --personality presence --rate 20 2>"$work/simmodule.err")
  sim_pid=$!
  local first_line
  if ! read -r -t 10 -u "$sim_out" first_line; then
    echo "FAILED: the simulated module printed no address" >&2
    cat "$work/simmodule.err" >&2
    exit 1
  fi
  if [ "$1" = --tcp ]; then
    address=127.0.0.1:$first_line
  else
    address=$first_line
  fi
}

stop_module() {
  kill "$sim_pid"
  wait "$sim_pid" 2>/dev/null || true
  sim_pid=
}

case "$mode" in
  tcp | pty) start_module "--$mode" ;;
  unreachable)
    # A port of 127.0.0.1 that the module listened on a moment ago, and a
    # device that does not exist.
    start_module --tcp
    stop_module
    for address in "$address" "$work/no-such-port"; do
      run "$address" "$@"
      if [ "$status" -ne 1 ] || ! grep -q "^$name: error: " "$work/err"; then
        show
        echo "FAILED: at $address $name exited with $status instead of 1 with an error line" >&2
        exit 1
      fi
      echo "$address: $(grep "^$name: error: " "$work/err")"
    done
    exit 0
    ;;
  *)
    echo "run_example.sh: unknown mode $mode" >&2
    exit 2
    ;;
esac

run "$address" "$@"
show
if [ "$status" -ne 0 ]; then
  echo "FAILED: $name exited with $status" >&2
  exit 1
fi

# Every expected line, in order.
mapfile -t patterns < "$expected"
next=0
while IFS= read -r line && [ "$next" -lt "${#patterns[@]}" ]; do
  pattern=${patterns[$next]//@ADDRESS@/$address}
  pattern=${pattern//@DIR@/$work/session}
  if [[ "$line" =~ $pattern ]]; then
    next=$((next + 1))
  fi
done < "$work/out"
if [ "$next" -lt "${#patterns[@]}" ]; then
  echo "FAILED: no line after the ones matched so far matches: ${patterns[$next]}" >&2
  exit 1
fi
echo "all ${#patterns[@]} expected lines seen"
