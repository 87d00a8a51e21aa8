#!/usr/bin/env bash
# Measures the game's songs and sound effects as a player hears them:
#   - every song in data/music as the game's mixer plays it (length up to the
#     first jump back, loop length, peak, RMS, loudness range over 2-second
#     windows, stereo side level L-R against L+R, click at the loop join);
#   - every effect named in data/Zapkin.ini: the RMS of its rendered WAV and
#     that RMS at its "Volume", against the median of all effects.
# Uses build/bin/vgrdata (built when missing).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
tool="$root/build/bin/vgrdata"
if [[ ! -x "$tool" ]]; then
  cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$root/build" --target vgrdata -j2 >/dev/null
fi
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

"$tool" music measure "$root"/data/music/*.song
echo

# The effects: the "File" and "Volume" of every [Waves.NAME] section.
ini="$root/data/Zapkin.ini"
awk -F= '
  /^\[Waves\./ { name = substr($0, 8, length($0) - 8); next }
  /^\[/ { name = ""; next }
  name != "" && $1 == "File" { file[name] = $2 }
  name != "" && $1 == "Volume" { vol[name] = $2 }
  END { for (n in file) printf "%s\t%s\t%s\n", n, file[n], (n in vol ? vol[n] : 100) }
' "$ini" | tr -d '\r' | sort >"$tmp/effects"

while IFS=$'\t' read -r name file volume; do
  stem="$(basename "${file//\\//}" .wav)"
  "$tool" sound "$root/data/sfx/$stem.sfx" "$tmp/$stem.wav" >/dev/null
  rms="$("$tool" sound stats "$tmp/$stem.wav" | sed -n 's/.* rms \([-0-9.]*\) dBFS.*/\1/p')"
  peak="$("$tool" sound stats "$tmp/$stem.wav" | sed -n 's/.* peak \([-0-9.]*\) dBFS.*/\1/p')"
  printf '%s\t%s\t%s\t%s\t%s\n' "$name" "$peak" "$rms" "$volume" \
    "$(awk -v r="$rms" -v v="$volume" 'BEGIN { printf "%.1f", r + 20 * log(v / 100) / log(10) }')"
done <"$tmp/effects" >"$tmp/levels"

median="$(cut -f5 "$tmp/levels" | sort -g | awk '{ a[NR] = $1 } END { print (NR % 2 ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2) }')"
printf '%-16s %7s %7s %7s %9s %7s\n' effect peak rms volume "at volume" "median"
printf '%-16s %7s %7s %7s %9s %7s\n' "" dBFS dBFS % dBFS dB
while IFS=$'\t' read -r name peak rms volume level; do
  printf '%-16s %7.1f %7.1f %7d %9.1f %+7.1f\n' "$name" "$peak" "$rms" "$volume" "$level" \
    "$(awk -v l="$level" -v m="$median" 'BEGIN { print l - m }')"
done <"$tmp/levels"
echo "median at volume: $median dBFS"
