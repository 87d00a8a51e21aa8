#!/usr/bin/env bash
# The hardening pass, beside the plain build and tests of test.sh: builds
# everything with clang under AddressSanitizer, UndefinedBehaviorSanitizer and
# LeakSanitizer, with the fuzz targets as libFuzzer binaries; runs the whole
# test suite (0 reports allowed), replays every seed corpus, and fuzzes every
# target for FUZZ_SECONDS seconds (30 by default; 0 skips fuzzing).
#   scripts/harden.sh [target ...]   fuzz only the named targets
# HARDEN_DATA_ARCHIVE=FILE takes the data archive another build of the same
# sources packed (.ci/run passes the one test.sh just built) instead of
# packing it again with the sanitized data tool; it is checked either way.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/fuzz-common.sh"
build="$fuzz_harden_build"
seconds="${FUZZ_SECONDS:-30}"
jobs="$(nproc)"

phase_clock_begin
phase "sanitizer build" fuzz_build_harden "$build"
fuzz_sanitizer_env

echo "== test suite under the sanitizers"
phase "sanitizer tests" ctest --test-dir "$build" --output-on-failure -j"$jobs"

targets=("$@")
[ ${#targets[@]} -gt 0 ] || mapfile -t targets < <(fuzz_targets)

artifacts="$build/fuzz-artifacts"
rm -rf "$artifacts"
mkdir -p "$artifacts"

# Replays the target's corpus, then fuzzes it; leaves "failed" behind on a
# finding. Corpus paths are absolute: some targets change the working folder.
run_target() {
  local t="$1" bin="$build/fuzz/fuzz_$1" corpus="$root/fuzz/corpus/$1"
  if ! "$bin" "${fuzz_limits[@]}" -runs=0 "$corpus" 2>"$artifacts/$t.replay.log"; then
    { echo "== $t: corpus replay FAILED"; tail -40 "$artifacts/$t.replay.log"; } >"$artifacts/$t.summary"
    touch "$artifacts/$t.failed"
    return
  fi
  local line="== $t: $(find "$corpus" -type f | wc -l) corpus files replayed"
  if [ "$seconds" -gt 0 ]; then
    local work
    work="$(mktemp -d)"
    if ! "$bin" "${fuzz_limits[@]}" -max_total_time="$seconds" -artifact_prefix="$artifacts/$t-" \
        -print_final_stats=1 "$work" "$corpus" 2>"$artifacts/$t.fuzz.log"; then
      { echo "$line; fuzzing FAILED"; tail -60 "$artifacts/$t.fuzz.log"; } >"$artifacts/$t.summary"
      touch "$artifacts/$t.failed"
      rm -rf "$work"
      return
    fi
    local runs
    runs="$(fuzz_executions "$artifacts/$t.fuzz.log")"
    line="$line, fuzzed ${seconds} s: ${runs:-?} executions"
    rm -rf "$work"
  fi
  echo "$line" >"$artifacts/$t.summary"
}

# One target per core at a time.
fuzz_all() {
  for t in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
    run_target "$t" &
  done
  wait
  local status=0
  for t in "${targets[@]}"; do
    cat "$artifacts/$t.summary"
    [ ! -e "$artifacts/$t.failed" ] || status=1
  done
  return $status
}
phase "fuzz corpora and fuzzing" fuzz_all
