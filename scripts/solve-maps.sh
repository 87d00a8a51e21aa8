#!/bin/sh
# Finds a way through every construction map, in both game modes, and the
# whole game with a fixed seed, and writes them as the committed replays in
# data/replays: each searched with the game's own rules by `vgrdata level
# solve`, then played once by the program, which adds its checksums.
#
#   scripts/solve-maps.sh [BUILD_DIR] [PIECE...]
#
# NN.vrp and NN-zararoz.vrp play piece NN (data/maps/NN.mpp), that is map
# 2 NN - 1. With PIECE numbers (1 .. 25) only those are solved again, and the
# whole game only when "game" is among them. Run it after a change to a map,
# to the professor, the monsters or their pictures.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
[ $# -gt 0 ] && shift
bin=$build/bin
out=$root/data/replays
seed=20261208
# The whole game: a seed whose interim maps the solver finishes one and all.
game_seed=20261213
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy

targets=${*:-$(seq 1 25) game}
record() {  # key script, replay
  "$bin/Voltigor" -nolog -timedemo -replay "$1" -record "$2" >"$tmp/play.txt" 2>&1 || {
    cat "$tmp/play.txt" >&2
    exit 1
  }
}
for t in $targets; do
  if [ "$t" = game ]; then
    nice "$bin/vgrdata" level solve "$bin/Voltigor.mad4" --game --seed $game_seed -o "$tmp/game.vrp"
    record "$tmp/game.vrp" "$out/game.vrp"
    continue
  fi
  n=$(printf %02d "$t")
  map=$((2 * t - 1))
  nice "$bin/vgrdata" level solve "$bin/Voltigor.mad4" $map --seed $seed -o "$tmp/$n.vrp"
  record "$tmp/$n.vrp" "$out/$n.vrp"
  nice "$bin/vgrdata" level solve "$bin/Voltigor.mad4" $map --zararoz --seed $seed -o "$tmp/$n-zararoz.vrp"
  record "$tmp/$n-zararoz.vrp" "$out/$n-zararoz.vrp"
done
