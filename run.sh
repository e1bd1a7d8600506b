#!/usr/bin/env bash
# Installs what is missing, builds, and starts the desktop program; its
# arguments go to the program. SARVIK_BUILD_GUI=OFF builds the library, the
# simulated module and the examples without the desktop program.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  ${SARVIK_BUILD_GUI:+-DSARVIK_BUILD_GUI="$SARVIK_BUILD_GUI"} >/dev/null
cmake --build build -j "${JOBS:-$(nproc)}"

# The build directory keeps its settings from one run to the next: a program
# left over from an earlier build with the desktop program is not started.
program=build/SarvikZiruvavo/SarvikZiruvavo
if grep -q '^SARVIK_BUILD_GUI:BOOL=ON$' build/CMakeCache.txt && [ -x "$program" ]; then
  # Without a display Qt aborts with a long message: say what to do instead.
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "run.sh: no display to show the desktop program on (DISPLAY is not set); run it on a virtual one: xvfb-run -a $program $*" >&2
    exit 1
  fi
  exec "$program" "$@"
fi

echo "run.sh: the desktop program is not part of this build (SARVIK_BUILD_GUI=ON ./run.sh builds it)."
echo "Built:"
for built in build/liblinkwell/liblinkwell.so:"the library" \
  build/tools/simmodule/simmodule:"the simulated module" \
  build/examples/first_contact:"the C++ example" \
  build/examples/first_contact_c:"the C example"; do
  if [ -e "${built%%:*}" ]; then
    printf '  %-36s %s\n' "${built%%:*}" "${built#*:}"
  fi
done
echo "README.md shows how to try the library against the simulated module."
