#!/usr/bin/env bash
# Installs what the web build and its browser test need from Debian's
# packages: the emscripten toolchain (with its LLVM and binaryen), dpkg-dev
# for unpacking Debian source packages, a headless browser, and python3 to
# serve the page. Idempotent like install-deps.sh: apt is not consulted when
# nothing is missing.
set -euo pipefail

PACKAGES=(
  emscripten binaryen dpkg-dev
  chromium python3 imagemagick
)

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
