#!/usr/bin/env bash
# Installs what is missing, builds, and starts the desktop program.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "${JOBS:-$(nproc)}"

if [ -x build/SarvikZiruvavo/SarvikZiruvavo ]; then
  exec build/SarvikZiruvavo/SarvikZiruvavo "$@"
fi
echo "run.sh: the desktop program is not built yet; built the library at build/liblinkwell/liblinkwell.so"
