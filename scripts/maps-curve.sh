#!/bin/sh
# Prints the difficulty curve of the 25 construction maps as data/maps/README.md
# holds it: for every piece the route (frames until the exit), the share of
# the meter it uses, the monsters of the map and the difficulty figure
# (meter % + 5 per monster), its floor rows and whether the way up to the
# exit is a spring in columns 18 to 24; then the figures of the set: the rank
# correlation of figure and piece number, the pieces easier than the one
# three before them, the last third's routes against the first third's, the
# pieces 17 to 25 that use 60 to 85 % of the meter, floor-row sets shared by
# two pieces and the ways up that are not such a spring.
#
#   scripts/maps-curve.sh [BUILD_DIR] [SOLVE OPTION...]
#
# The routes are the solver's (`vgrdata level solve`); with --human, those a
# person can play, where the human search finds one within its bound. Other
# options go to the solver as well: on a loaded machine `--seconds 200` gives
# the longest searches (pieces 18 and 25) the time they need.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
[ $# -gt 0 ] && shift
bin=$build/bin
seed=20261208
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

for piece in $(seq 1 25); do
  n=$(printf %02d "$piece")
  route=- meter=-
  if nice -n 19 "$bin/vgrdata" level solve "$bin/Voltigor.mad4" $((2 * piece - 1)) --seed $seed "$@" \
    -o "$tmp/keys.vrp" >"$tmp/out.txt" 2>&1; then
    found=$(sed -n 's/^map [0-9]*[^:]*: \([0-9]*\) frames, meter \([0-9]*\) %.*/\1 \2/p' "$tmp/out.txt" | head -n 1)
    if [ -n "$found" ]; then route=${found% *} meter=${found#* }; fi
  fi
  # The piece's name, floor rows, monsters and its way up to the exit.
  tr -d '\r' <"$root/data/maps/$n.mpp" | awk -v piece="$n" -v route="$route" -v meter="$meter" '
    /^MN/ { name = substr($0, 3) }
    /^MP/ { row[rows++] = substr($0, 3) }
    /^EX/ { ex++; if (ex >= 2 && ex <= 6 && $0 != "EX.") monsters++ }
    END {
      # A floor row holds three or more cells that are not decorations
      # (objects 29 to 37, "=" to "E").
      floors = ""
      for (r = 5; r < rows; r++) {
        cells = 0
        for (c = 1; c <= length(row[r]); c++) {
          ch = substr(row[r], c, 1)
          if (ch != " " && (ch < "=" || ch > "E")) cells++
        }
        if (cells >= 3) floors = floors (floors == "" ? "" : ",") r
      }
      # The skeleton the set began with: a spring in row 7 or 8, columns 18
      # to 24, that throws him onto the exit row.
      up = "other"
      for (c = 19; c <= 25; c++) if (substr(row[7], c, 1) == ";" || substr(row[8], c, 1) == ";") up = "spring"
      figure = meter == "-" ? "-" : meter + 5 * monsters
      printf "%s|%s|%s|%s|%d|%s|%s|%s\n", piece, name, route, meter, monsters, figure, floors, up
    }'
done >"$tmp/table.txt"

echo "| Piece | Name | Route | Meter | Monsters | Figure | Floor rows | Way up |"
echo "|---|---|---|---|---|---|---|---|"
awk -F'|' '{ printf "| %s | %s | %s | %s %% | %s | %s | %s | %s |\n", $1, $2, $3, $4, $5, $6, $7, ($8 == "spring" ? "spring, columns 18-24" : "elsewhere") }' "$tmp/table.txt"
echo
awk -F'|' '
  { n++; piece[n] = $1 + 0; route[n] = $3; meter[n] = $4; fig[n] = $6; floors[n] = $7; up[n] = $8 }
  END {
    # Spearman rank correlation of figure against piece number, ties ranked
    # by their mean.
    m = 0
    for (i = 1; i <= n; i++) if (fig[i] != "-") { m++; f[m] = fig[i] + 0; p[m] = piece[i] }
    for (i = 1; i <= m; i++) {
      below = 0; same = 0
      for (j = 1; j <= m; j++) { if (f[j] < f[i]) below++; else if (f[j] == f[i]) same++ }
      rf[i] = below + (same + 1) / 2
    }
    for (i = 1; i <= m; i++) { sp += p[i]; sr += rf[i] }
    for (i = 1; i <= m; i++) {
      dp = p[i] - sp / m; dr = rf[i] - sr / m
      cov += dp * dr; vp += dp * dp; vr += dr * dr
    }
    rho = (vp > 0 && vr > 0) ? cov / sqrt(vp * vr) : 0
    dips = ""
    for (i = 4; i <= n; i++) if (fig[i] != "-" && fig[i - 3] != "-" && fig[i] + 0 < fig[i - 3] + 0) dips = dips " " piece[i]
    for (i = 1; i <= 8; i++) if (route[i] != "-") { first += route[i]; nf++ }
    for (i = 17; i <= n; i++) if (route[i] != "-") { last += route[i]; nl++ }
    band = 0
    for (i = 17; i <= n; i++) if (meter[i] != "-" && meter[i] + 0 >= 60 && meter[i] + 0 <= 85) band++
    shared = 0
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (floors[i] == floors[j]) shared++
    other = 0
    for (i = 1; i <= n; i++) if (up[i] != "spring") other++
    printf "- Rank correlation of figure and piece: %.2f (%d pieces with a route)\n", rho, m
    printf "- Pieces easier than the one three before:%s\n", dips == "" ? " none" : dips
    if (nf && nl) printf "- Mean route, pieces 17-25 against 1-8: %d / %d frames = %.2f\n", last / nl, first / nf, (last / nl) / (first / nf)
    printf "- Pieces 17-25 using 60-85 %% of the meter: %d\n", band
    printf "- Pairs of pieces with the same floor rows: %d\n", shared
    printf "- Pieces whose way up is not a spring in columns 18-24: %d\n", other
  }' "$tmp/table.txt"
