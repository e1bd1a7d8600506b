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
  # test tools (locales: a comma-decimal locale for the recording tests)
  locales socat xvfb xauth x11-apps imagemagick libgl1-mesa-dri fonts-dejavu-core
)

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

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#PACKAGES[@]} packages present"
else
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # Another package install may hold dpkg's lock: wait for it (bounded)
  # instead of failing at once.
  APT=(apt-get -o DPkg::Lock::Timeout=600)
  $SUDO "${APT[@]}" update -qq
  $SUDO "${APT[@]}" install -y -qq --no-install-recommends "${missing[@]}"
fi

# Recordings must read the same under a locale with a decimal comma; the
# tests that show it need one such locale.
if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
  echo "install-deps: generating the de_DE.UTF-8 locale"
  $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
