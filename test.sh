#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: first the
# normal build, then the library tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer, and under ThreadSanitizer, each in a build
# directory of its own.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh

echo "== formatting =="
scripts/check-format.sh

JOBS="${JOBS:-$(nproc)}"

echo "== build (RelWithDebInfo) =="
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLINKWELL_WERROR=ON >/dev/null
cmake --build build -j "$JOBS"
echo "== tests =="
# The desktop program's window tests run under xvfb-run (ctest starts it);
# Qt wants a private runtime folder for them.
XDG_RUNTIME_DIR="$(mktemp -d)"
export XDG_RUNTIME_DIR
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
ctest --test-dir build --output-on-failure -j "$JOBS" --timeout 300

echo "== build (AddressSanitizer + UndefinedBehaviorSanitizer, library only) =="
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DLINKWELL_SANITIZE=address,undefined -DLINKWELL_WERROR=ON -DSARVIK_BUILD_GUI=OFF -DLINKWELL_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j "$JOBS"
echo "== tests under ASan/UBSan =="
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$JOBS" --timeout 600 -L 'liblinkwell|fuzz'

echo "== build (ThreadSanitizer, library only) =="
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DLINKWELL_SANITIZE=thread -DLINKWELL_WERROR=ON -DSARVIK_BUILD_GUI=OFF -DLINKWELL_BUILD_BENCH=OFF >/dev/null
cmake --build build-tsan -j "$JOBS"
echo "== library tests under TSan =="
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build-tsan --output-on-failure -j "$JOBS" --timeout 600 -L liblinkwell
