#!/usr/bin/env bash
# Installs the Debian packages the suite needs to build, test and run, when any
# is missing. Safe to run again; does nothing when all are there.
set -euo pipefail
packages=(cmake g++ make qt6-base-dev qt6-serialport-dev libqt6serialport6 qt6-charts-dev qt6-translations-l10n fonts-dejavu-core fonts-dejavu-extra xvfb xauth ser2net)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
