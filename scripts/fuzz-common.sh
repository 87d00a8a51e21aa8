# Sourced by the hardening, coverage and campaign scripts, so that all of them
# fuzz the same targets under the same limits and sanitizer settings.

fuzz_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$fuzz_root/scripts/build-env.sh"
# The clang build under the sanitizers, shared by all of them.
fuzz_harden_build="${HARDEN_BUILD:-$fuzz_root/build-harden}"

# The targets, in the order fuzz/CMakeLists.txt lists them.
fuzz_targets() {
  sed -n '/^set(VGR_FUZZ_TARGETS/,/)/p' "$fuzz_root/fuzz/CMakeLists.txt" |
    tr ' ' '\n' | grep -E '^[a-z0-9_]+\)?$' | tr -d ')' | grep -v '^$'
}

# The limits every input must keep: no allocation over 256 MiB, no more than
# 512 MiB in all, no input taking more than three seconds (a hang, not a slow unit on a busy machine). The parsers' messages
# on standard output would drown the fuzzer's own.
fuzz_limits=(-rss_limit_mb=512 -malloc_limit_mb=256 -timeout=3 -max_len=4096 -close_fd_mask=1)

# Builds everything with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer, the fuzz targets as libFuzzer binaries.
fuzz_build_harden() {
  local build="$1"
  "$fuzz_root/scripts/install-deps.sh"
  local flags="-fsanitize=fuzzer-no-link -fno-sanitize-recover=all"
  # Line tables are all a sanitizer's report needs; full debug information
  # would only slow the build.
  local config="-O2 -gline-tables-only -DNDEBUG"
  # shellcheck disable=SC2046
  CC=clang CXX=clang++ cmake -S "$fuzz_root" -B "$build" $(generator_args "$build") -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVGR_SANITIZE=address,undefined -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="$config" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$config" \
    -DVGR_FUZZ=ON -DVGR_BUILD_BENCHMARKS=OFF -DVGR_DATA_ARCHIVE="${HARDEN_DATA_ARCHIVE:-}" \
    "${cache_args[@]}" >/dev/null
  cmake --build "$build" -j"$(nproc)"
}

fuzz_sanitizer_env() {
  export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
  # The quarantine of freed memory is held to 64 MiB: at its default 256 MiB a
  # fuzzer that keeps freeing large pictures passes the 512 MiB limit with no
  # leak at all.
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:quarantine_size_mb=64"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  export LSAN_OPTIONS="suppressions=$fuzz_root/fuzz/lsan.supp:print_suppressions=0"
}

# The executions a fuzzer run reports in its log (-print_final_stats=1);
# empty when it ended before printing them.
fuzz_executions() {
  grep -aoE '^stat::number_of_executed_units: [0-9]+' "$1" | grep -oE '[0-9]+$' || true
}
