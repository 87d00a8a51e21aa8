#!/usr/bin/env bash
# Installs what the web build and its browser test need from Debian's
# packages: the emscripten toolchain (with its LLVM and binaryen), dpkg-dev
# for unpacking Debian source packages, a headless browser, and python3 to
# serve the page. Idempotent like install-deps.sh, which does the work.
set -euo pipefail
exec "$(dirname "${BASH_SOURCE[0]}")/install-deps.sh" --only \
  emscripten binaryen dpkg-dev \
  chromium python3 imagemagick
