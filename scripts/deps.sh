#!/usr/bin/env bash
# Installs the Debian packages Diskwell needs to build, run and test.
# The one place the package list lives. Installs only what is missing.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config make
  qt6-base-dev qt6-base-dev-tools qt6-charts-dev libqt6opengl6-dev libxkbcommon-dev libgl-dev
  libzip-dev zlib1g-dev
  # XXH3 hashes for the duplicate search by content
  libxxhash-dev
  # the scan history's database
  libsqlite3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  shared-mime-info fonts-dejavu-core
  # used by the tests that check our archives and trash against other tools
  python3 zip unzip trash-cli
  # the tests make small btrfs and xfs volumes to check the bytes freed where copies share blocks
  btrfs-progs xfsprogs
  # CI checks that every tracked source is formatted as .clang-format says
  clang-format
  # the packaging test validates the menu entry and the software centre's description
  desktop-file-utils appstream
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
