#!/usr/bin/env bash
# The hardening pass, beside the plain build and tests of test.sh: builds
# everything with clang under AddressSanitizer, UndefinedBehaviorSanitizer and
# LeakSanitizer, with the fuzz targets as libFuzzer binaries; runs the whole
# test suite (0 reports allowed), replays every seed corpus, and fuzzes every
# target for FUZZ_SECONDS seconds (30 by default; 0 skips fuzzing).
#   scripts/harden.sh [target ...]   fuzz only the named targets
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${HARDEN_BUILD:-$root/build-harden}"
seconds="${FUZZ_SECONDS:-30}"
jobs="$(nproc)"

"$root/scripts/install-deps.sh"
flags="-fsanitize=fuzzer-no-link -fno-sanitize-recover=all"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVGR_SANITIZE=address,undefined -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DVGR_FUZZ=ON -DVGR_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j"$jobs"

export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
# The quarantine of freed memory is held to 64 MiB: at its default 256 MiB a
# fuzzer that keeps freeing large pictures passes the 512 MiB limit with no
# leak at all.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:quarantine_size_mb=64"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/fuzz/lsan.supp:print_suppressions=0"

echo "== test suite under the sanitizers"
ctest --test-dir "$build" --output-on-failure -j"$jobs"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(sed -n '/^set(VGR_FUZZ_TARGETS/,/)/p' "$root/fuzz/CMakeLists.txt" |
    tr ' ' '\n' | grep -E '^[a-z0-9_]+\)?$' | tr -d ')' | grep -v '^$')
fi

# The limits every input must keep: no allocation over 256 MiB, no more than
# 512 MiB in all, no input taking more than a second. The parsers' messages
# on standard output would drown the fuzzer's own.
limits=(-rss_limit_mb=512 -malloc_limit_mb=256 -timeout=1 -max_len=4096 -close_fd_mask=1)
artifacts="$build/fuzz-artifacts"
rm -rf "$artifacts"
mkdir -p "$artifacts"

# Replays the target's corpus, then fuzzes it; leaves "failed" behind on a
# finding. Corpus paths are absolute: some targets change the working folder.
run_target() {
  local t="$1" bin="$build/fuzz/fuzz_$1" corpus="$root/fuzz/corpus/$1"
  if ! "$bin" "${limits[@]}" -runs=0 "$corpus" 2>"$artifacts/$t.replay.log"; then
    { echo "== $t: corpus replay FAILED"; tail -40 "$artifacts/$t.replay.log"; } >"$artifacts/$t.summary"
    touch "$artifacts/$t.failed"
    return
  fi
  local line="== $t: $(find "$corpus" -type f | wc -l) corpus files replayed"
  if [ "$seconds" -gt 0 ]; then
    local work
    work="$(mktemp -d)"
    if ! "$bin" "${limits[@]}" -max_total_time="$seconds" -artifact_prefix="$artifacts/$t-" \
        -print_final_stats=1 "$work" "$corpus" 2>"$artifacts/$t.fuzz.log"; then
      { echo "$line; fuzzing FAILED"; tail -60 "$artifacts/$t.fuzz.log"; } >"$artifacts/$t.summary"
      touch "$artifacts/$t.failed"
      rm -rf "$work"
      return
    fi
    local runs
    runs="$(grep -aoE '^stat::number_of_executed_units: [0-9]+' "$artifacts/$t.fuzz.log" |
      grep -oE '[0-9]+$' || true)"
    line="$line, fuzzed ${seconds} s: ${runs:-?} executions"
    rm -rf "$work"
  fi
  echo "$line" >"$artifacts/$t.summary"
}

# One target per core at a time.
for t in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  run_target "$t" &
done
wait
status=0
for t in "${targets[@]}"; do
  cat "$artifacts/$t.summary"
  [ ! -e "$artifacts/$t.failed" ] || status=1
done
exit $status
