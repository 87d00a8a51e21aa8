#!/bin/sh
# Prints the difficulty table of the construction maps as data/maps/README.md
# holds it: for every piece the solver's route (frames until the exit, share
# of the meter used), the route a person can play (`level solve --human`:
# keys held 10 frames or more, each key change allowed to come 4 frames late)
# in both game modes with its slack, the fewest frames any one key of it may
# come late (counted up to 8); then, with a seed count, the share of interim
# draws finished from seed 1 on, by the solver and (of HUMAN_SEEDS draws,
# the same count unless given) in the --human mode.
#
#   scripts/maps-table.sh [BUILD_DIR] [INTERIM_SEEDS [HUMAN_SEEDS]]
#
# Every search of a map is bounded by the solver's own budget (55 s,
# 256 MB); a map that runs out shows "-" and the verdict. An interim draw
# is bounded by frames alone (300000, 600000 in the --human mode), so that
# its verdict does not hang on what else the machine runs, and a thousand
# of them take an hour, not a day.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
seeds=${2:-0}
human_seeds=${3:-$seeds}
bin=$build/bin
seed=20261208
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# "frames | meter | slack" of one search, or its verdict.
route() {  # map, options...
  map=$1
  shift
  if nice -n 19 "$bin/vgrdata" level solve "$bin/Voltigor.mad4" "$map" --seed $seed "$@" -o "$tmp/keys.vrp" \
    >"$tmp/out.txt" 2>&1; then
    sed -n 's/^map [0-9]*[^:]*: \([0-9]*\) frames, meter \([0-9]*\) %\(, slack \([0-9]*\) frames\)\{0,1\},.*/\1 | \2 % | \4/p' \
      "$tmp/out.txt" | head -n 1
  elif grep -q "cannot be finished" "$tmp/out.txt"; then
    echo "unsolvable | - | -"
  else
    echo "undecided | - | -"
  fi
}

echo "| Piece | Map | Route | Meter | Human route | Meter | Slack | Za.Raroz human route | Meter | Slack |"
echo "|---|---|---|---|---|---|---|---|---|---|"
for piece in $(seq 1 25); do
  map=$((2 * piece - 1))
  machine=$(route $map | cut -d'|' -f1-2)
  human=$(route $map --human)
  zararoz=$(route $map --human --zararoz)
  printf '| %02d | %d | %s | %s | %s |\n' "$piece" "$map" "$machine" "$human" "$zararoz" | sed 's/  */ /g; s/| |/| - |/g'
done

interim() {  # seeds, options...
  n=$1
  shift
  [ "$n" -gt 0 ] || return 0
  began=$(date +%s)
  nice -n 19 "$bin/vgrdata" level solve "$bin/Voltigor.mad4" --interim-seeds "$n" --seed 1 "$@" \
    >"$tmp/interim.txt" 2>&1 || true
  echo "Interim maps${*:+ ($*)}: $(tail -n 1 "$tmp/interim.txt"), $(($(date +%s) - began)) s"
}
if [ "$seeds" -gt 0 ]; then
  echo
  interim "$seeds" --budget 300000 --seconds 1000
  interim "$human_seeds" --human --budget 600000 --seconds 1000
fi
