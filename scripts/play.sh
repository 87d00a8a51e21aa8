#!/usr/bin/env bash
# Installs what is missing, builds the program, its tools and its data, and
# starts the game. Extra arguments go to the game (e.g. FULLSCREEN).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j"$(nproc)"
exec "$root/build/bin/Voltigor" "$@"
