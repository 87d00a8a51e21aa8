#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite
# headless. Fails when any test fails. Prints the time of each phase at the
# end.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/build-env.sh"
phase_clock_begin
phase "dependencies" "$root/scripts/install-deps.sh"
# shellcheck disable=SC2046
cmake -S "$root" -B "$root/build" $(generator_args "$root/build") -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "${cache_args[@]}" >/dev/null
phase "build" cmake --build "$root/build" -j"$(nproc)"
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
phase "tests" ctest --test-dir "$root/build" --output-on-failure -j"$(nproc)" "$@"
