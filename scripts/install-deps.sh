#!/usr/bin/env bash
# Installs everything Kestrand Data Upload needs to build, run and test on Debian 12.
# Runs as root on a fresh machine (uses sudo when it is not root); assumes nothing is installed.
set -euo pipefail

packages=(
  # tool chain
  build-essential cmake ninja-build ccache pkg-config git clang clang-format clang-tidy libclang-rt-14-dev
  # Qt 6.4 (Widgets, PrintSupport and Test come with qt6-base-dev; its Gui module wants the GL
  # headers). The chart is painted with QPainter, so Qt Charts is not needed.
  qt6-base-dev qt6-serialport-dev libgl-dev
  # a chart's PNG file is compressed with zlib directly, the report's listing pages with libdeflate
  zlib1g-dev libdeflate-dev
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  # speed reference: a pandas read and rewrite of the largest CSV file (/usr/bin/python3)
  python3-pandas
  # GUI and serial tests: virtual display and its window listing (xwininfo, xprop), pseudo-terminal
  # bridge, PDF tools, a Courier-metric font
  xvfb xauth x11-utils socat poppler-utils fonts-liberation
  # command-line tests: a comma-decimal locale (generated below)
  locales
  # Debian package: dpkg-shlibdeps finds its dependencies; desktop-file-validate checks the menu
  dpkg-dev desktop-file-utils
)

as_root=()
if [ "$(id -u)" -ne 0 ]; then as_root=(sudo); fi

export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${packages[@]}"
# kestrand-cli's tests compare what it prints under de_DE.UTF-8 with what it prints under C.
"${as_root[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8
