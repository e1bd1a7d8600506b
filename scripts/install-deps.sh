#!/usr/bin/env bash
# Installs the Debian packages this project needs to build, test and run.
# Idempotent: packages that dpkg already reports as installed are skipped,
# and nothing is fetched when everything is present.
set -euo pipefail

PACKAGES=(
  # toolchain
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev clang-format
  # library
  libboost-filesystem-dev libboost-system-dev
  # desktop program
  qtbase5-dev qtdeclarative5-dev qtdeclarative5-dev-tools libqt5serialport5-dev
  libqt5datavisualization5-dev qtquickcontrols2-5-dev qml-module-qtquick2
  qml-module-qtquick-window2 qml-module-qtquick-layouts qml-module-qtquick-controls
  qml-module-qtquick-controls2 qml-module-qtquick-dialogs qml-module-qtgraphicaleffects
  qml-module-qtquick-particles2 qml-module-qtdatavisualization qml-module-qttest qmlscene
  # test tools
  socat xvfb xauth x11-apps imagemagick libgl1-mesa-dri fonts-dejavu-core
)

missing=()
for pkg in "${PACKAGES[@]}"; do
  if ! dpkg -s "$pkg" 2>/dev/null | grep -q '^Status: install ok installed'; then
    missing+=("$pkg")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#PACKAGES[@]} packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
# Another package install may hold dpkg's lock: wait for it (bounded)
# instead of failing at once.
APT=(apt-get -o DPkg::Lock::Timeout=600)
$SUDO "${APT[@]}" update -qq
$SUDO "${APT[@]}" install -y -qq --no-install-recommends "${missing[@]}"
