#!/usr/bin/env bash
# Installs every build, test and data-tool dependency from Debian's packages.
# Idempotent: packages already present are not touched, and apt is not even
# consulted when nothing is missing.
set -euo pipefail

PACKAGES=(
  cmake g++ make pkg-config
  # the builds keep both cores busy with Ninja, link with lld and reuse
  # objects across clones with ccache
  ninja-build lld ccache
  libsdl1.2-compat-dev zlib1g-dev
  libxmp-dev libmpg123-dev
  libfreetype-dev fonts-dejavu-core libmp3lame-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xdotool imagemagick
  # the window and install tests: a window manager, X queries, desktop-file,
  # AppStream and manual-page checks
  x11-utils jwm desktop-file-utils appstream man-db bsdextrautils
  clang libclang-rt-14-dev llvm
)
# --only PACKAGE...: the same, for another list (the web build's).
if [ "${1:-}" = --only ]; then
  shift
  PACKAGES=("$@")
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
