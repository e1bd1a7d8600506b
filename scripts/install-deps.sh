#!/usr/bin/env bash
# Installs the Debian packages this project needs to build, test and run.
# Idempotent: packages that dpkg already reports as installed are skipped,
# and nothing is fetched when everything is present.
set -euo pipefail

PACKAGES=(
  # toolchain; pkg-config for the installed library's pkg-config test
  g++ cmake ninja-build pkg-config
  # tests (the test support links gmock), benchmarks, scripts/check-format.sh
  libgtest-dev libgmock-dev googletest libbenchmark-dev clang-format
  # desktop program: Qt Core, Gui, Test, Qml and Quick, and the QML modules
  # its main.qml and its window tests import (QtQuick, QtQuick.Window)
  qtbase5-dev qtdeclarative5-dev qml-module-qtquick2 qml-module-qtquick-window2
  # the main window's QML modules (Controls 2, Layouts, Dialogs: the file
  # dialog's own fallback is written with Controls 1), the Quick Test module
  # and qmllint (dev-tools), and the fonts the program carries: the icon font
  # and a free text font (README.md, "Fonts")
  qml-module-qtquick-controls2 qml-module-qtquick-layouts qml-module-qtquick-dialogs
  qml-module-qtquick-controls qml-module-qttest qtdeclarative5-dev-tools
  fonts-font-awesome fonts-lato
  # serial port enumeration (device search, LED strip)
  libqt5serialport5-dev
  # the pulse-Doppler 3-D surface (Qt Data Visualization) and its QML
  # module, which the pulse-Doppler window imports
  libqt5datavisualization5-dev qml-module-qtdatavisualization
  # test tools: locales for a comma-decimal locale (the recording tests);
  # xvfb-run (xvfb, and xauth, which it calls) and OpenGL in software for the
  # window tests. fonts-dejavu-core is kept although no test draws text yet:
  # Qt looks for a font when it starts and warns without one, and the Qt
  # tests have not been run on a machine without any font.
  locales xvfb xauth libgl1-mesa-dri fonts-dejavu-core
)

# How long to wait for another package install (apt-get, dpkg, unattended
# upgrades) to release the package manager's locks before giving up.
LOCK_WAIT_SECONDS=600

missing=()
for pkg in "${PACKAGES[@]}"; do
  if ! dpkg -s "$pkg" 2>/dev/null | grep -q '^Status: install ok installed'; then
    missing+=("$pkg")
  fi
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

# Runs apt-get, waiting (bounded) while another package install holds a lock.
# DPkg::Lock::Timeout makes apt-get wait for dpkg's own locks; the locks of
# the package lists ("apt-get update") and of the download cache are not
# covered by it and fail at once, so those failures are retried here until
# the same deadline.
apt_get() {
  local deadline=$((SECONDS + LOCK_WAIT_SECONDS))
  local log
  log="$(mktemp)"
  while true; do
    local status=0
    $SUDO apt-get -o DPkg::Lock::Timeout=$LOCK_WAIT_SECONDS "$@" 2>&1 | tee "$log" || status=${PIPESTATUS[0]}
    if [ "$status" -eq 0 ]; then
      rm -f "$log"
      return 0
    fi
    if ! grep -q -e 'Could not get lock' -e 'Unable to lock' "$log" || [ "$SECONDS" -ge "$deadline" ]; then
      rm -f "$log"
      return "$status"
    fi
    echo "install-deps: another package install holds a lock; trying again in 5 s"
    sleep 5
  done
}

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#PACKAGES[@]} packages present"
else
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt_get update -qq
  apt_get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Recordings must read the same under a locale with a decimal comma; the
# tests that show it need one such locale.
if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
  echo "install-deps: generating the de_DE.UTF-8 locale"
  $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
