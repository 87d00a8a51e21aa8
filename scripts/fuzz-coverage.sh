#!/usr/bin/env bash
# Line coverage (llvm-cov) of each fuzz target's parser when its corpus is
# replayed. The committed seeds are always replayed; pass a folder holding
# one sub-folder per target (a fuzzer's working corpora) to add those.
#   [FUZZ_TARGETS="ini font"] scripts/fuzz-coverage.sh [grown-corpus-root]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${COVERAGE_BUILD:-$root/build-coverage}"
grown="${1:-}"
flags="-fprofile-instr-generate -fcoverage-mapping"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVGR_BUILD_TESTS=OFF \
  -DVGR_BUILD_BENCHMARKS=OFF -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fprofile-instr-generate" >/dev/null

# The parser sources each target is meant to cover (under src/).
declare -A files=(
  [archive_mount]="storage/MAD4LowLevelUnit.cpp storage/MAD4MidLevelUnit.cpp storage/MAD4HighLevelUnit.cpp"
  [archive_ops]="storage/MAD4LowLevelUnit.cpp storage/MAD4MidLevelUnit.cpp"
  [compressor]="storage/CompressorUnit.cpp storage/RLEUnit.cpp storage/HuffmanUnit.cpp storage/CodingUnit.cpp storage/MyZStreamUnit.cpp"
  [codec_roundtrip]="../tools/vgrdata/archive/ArchiveEncoders.cpp"
  [inflate]="storage/MyZStreamUnit.cpp"
  [picture]="assets/RawPictureUnit.cpp assets/MatorPictureUnit.cpp assets/RiffReaderUnit.cpp"
  [transform]="assets/RAWTRANSFORM.cpp"
  [ini]="assets/ZRINIFile.cpp"
  [gfxlist]="collections/ImageCollectionUnit.cpp"
  [font]="platform/ZRFonts.cpp"
  [xmap]="game/XMapUnit.cpp"
  [xmappack]="game/XMapPackUnit.cpp"
  [xmapchain]="game/XMapChainUnit.cpp"
  [resources]="game/VGRResourceTypesUnit.cpp"
  [scroller]="ui/ScrollUnit.cpp"
  [setup]="ui/SetupCommandUnit.cpp"
  [wave]="platform/AudioDecoders.cpp"
  [module]="platform/AudioDecoders.cpp"
  [mp3stream]="platform/AudioDecoders.cpp"
  [replay]="game/ReplayUnit.cpp"
  [levelcheck]="../tools/vgrdata/level/LevelCommand.cpp"
)
# Where targets share a source file, only the functions of their own parser
# count (an extended regular expression over llvm-cov's function names).
declare -A functions=(
  # Writing members; reading damaged archives is archive_mount's part.
  [archive_ops]="Add|WriteNull|CombineNulls|UpdateTrailer|CreateEmpty|Release|Unmount|StoreFile|RemoveFile|AddEntry|RebuildIndex|IndexOfFile|OpenFile|GetFileData"
  # Mounting and reading; writing members is archive_ops' part.
  [archive_mount]="Mount|OpenExisting|Walk|ReadChunkData|OpenChunk|GetChunk|IndexOfChunk|Unmount|CombineNulls|UpdateTrailer|ReadEntry|RebuildIndex|GetFileData|GetFileInfo|IndexOfFile|OpenFile|OpenStream|IsExists|ListVolumes"
  [wave]="DecodeWav|DecodeMp3|DecodeSample|Le16|Le32"
  [module]="TModuleStream|OpenModule"
  [mp3stream]="TMp3Stream|Mp3Read|Mp3Seek|OpenMp3Stream|TMemoryBytes|MemoryBytes"
  # The replay file format; recording and playback need a running game.
  [replay]="Encode|Decode|TReader|TWriter"
)
source "$root/scripts/fuzz-common.sh"
mapfile -t targets < <(fuzz_targets)
# FUZZ_TARGETS="a b" measures those targets only.
if [ -n "${FUZZ_TARGETS:-}" ]; then read -ra targets <<<"$FUZZ_TARGETS"; fi
for t in "${targets[@]}"; do cmake --build "$build" --target "fuzz_$t" -j"$(nproc)" >/dev/null; done

export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
prof="$(mktemp -d)"
trap 'rm -rf "$prof"' EXIT
printf '%-16s %8s %8s %7s\n' target lines missed cover
for t in "${targets[@]}"; do
  inputs=("$root/fuzz/corpus/$t")
  [ -n "$grown" ] && [ -d "$grown/$t" ] && inputs+=("$grown/$t")
  LLVM_PROFILE_FILE="$prof/$t-%p.profraw" "$build/fuzz/fuzz_$t" "${inputs[@]}" >/dev/null 2>&1 || true
  llvm-profdata merge -sparse "$prof/$t"-*.profraw -o "$prof/$t.profdata"
  srcs=()
  for f in ${files[$t]}; do srcs+=("$root/src/$f"); done
  if [ -n "${functions[$t]:-}" ]; then
    # Function rows (mangled names): name, regions, missed, cover, lines, missed, ...
    llvm-cov report -show-functions "$build/fuzz/fuzz_$t" -instr-profile="$prof/$t.profdata" "${srcs[@]}" |
      grep -E "${functions[$t]}" | awk -v t="$t" '$5 ~ /^[0-9]+$/ { l += $5; m += $6 }
        END { printf "%-16s %8d %8d %6.2f%%\n", t, l, m, l ? 100 * (l - m) / l : 0 }'
  else
    llvm-cov report "$build/fuzz/fuzz_$t" -instr-profile="$prof/$t.profdata" "${srcs[@]}" |
      awk -v t="$t" '/^TOTAL/ { printf "%-16s %8s %8s %7s\n", t, $8, $9, $10 }'
  fi
done
