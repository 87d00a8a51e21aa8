#!/usr/bin/env bash
# Builds the game for WebAssembly and serves it on 127.0.0.1.
#
#   scripts/web.sh [--build-only] [--port N]
#
# Installs what is missing (scripts/install-deps.sh, install-web-deps.sh),
# builds the data archive natively in build/, the libraries from Debian's
# sources (scripts/web-libs.sh, once) and the program with emscripten in
# build-web/, puts the page, the program and the archive together in
# build-web/site/ and serves that folder until interrupted.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$PWD
BUILD_ONLY=0
PORT=0
while [ $# -gt 0 ]; do
  case "$1" in
    --build-only) BUILD_ONLY=1 ;;
    --port) PORT=$2; shift ;;
    -h|--help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "web.sh: unknown argument $1" >&2; exit 2 ;;
  esac
  shift
done

OUT=$ROOT/build-web
SITE=$OUT/site
export NODE_PATH=${NODE_PATH:+$NODE_PATH:}/usr/share/nodejs

./scripts/install-deps.sh
./scripts/install-web-deps.sh

# The archive comes from the native build (its data tool needs FreeType and
# the rest of the native libraries).
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
nice -n 10 cmake --build build -j2 --target vgr_data Voltigor

./scripts/web-libs.sh "$OUT"

PREFIX=$OUT/prefix
if [ ! -f "$OUT/game/CMakeCache.txt" ]; then
  PKG_CONFIG_LIBDIR=$PREFIX/lib/pkgconfig emcmake cmake -S . -B "$OUT/game" -DCMAKE_BUILD_TYPE=Release \
    -DZLIB_INCLUDE_DIR="$PREFIX/include" -DZLIB_LIBRARY="$PREFIX/lib/libz.a" >/dev/null
fi
PKG_CONFIG_LIBDIR=$PREFIX/lib/pkgconfig nice -n 10 cmake --build "$OUT/game" -j2 --target Voltigor

mkdir -p "$SITE/replays"
for f in Voltigor.js Voltigor.wasm; do
  cp -u "$OUT/game/bin/$f" "$SITE/$f"
done
cp -u web/index.html "$SITE/index.html"
cp -u build/bin/Voltigor.mad4 "$SITE/Voltigor.mad4"
cp -u data/replays/*.vrp "$SITE/replays/"
echo "web.sh: the page is in $SITE"

[ "$BUILD_ONLY" = 1 ] && exit 0
exec python3 "$ROOT/web/serve.py" "$SITE" --port "$PORT"
