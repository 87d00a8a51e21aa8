#!/usr/bin/env bash
# Long fuzzing runs, beside the 30-second runs of harden.sh: several processes
# per target share one working corpus, in pieces of at most ten minutes, and
# every piece's executions are booked in a ledger, so a campaign can be
# stopped, resumed and added up across days.
#   scripts/fuzz-campaign.sh run [-p PROCESSES] [-t SECONDS | -n EXECUTIONS] target ...
#       fuzzes each target in turn for SECONDS (600 by default), or, with -n,
#       in pieces of SECONDS until the ledger holds EXECUTIONS for it (suffixes
#       k and M allowed); PROCESSES is the number of cores by default. Stops at
#       the first finding.
#   scripts/fuzz-campaign.sh tally
#       the executions the ledger holds for each target
#   scripts/fuzz-campaign.sh merge target ...
#       adds to fuzz/corpus/<target> the working-corpus inputs that reach
#       edges the committed corpus does not, named grown-<12 hex digits>
# The working corpora, logs, findings and ledger are kept in FUZZ_WORK
# (build-harden/fuzz-campaign by default).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/fuzz-common.sh"
build="$fuzz_harden_build"
work="${FUZZ_WORK:-$build/fuzz-campaign}"
ledger="$work/ledger.txt"

usage() { sed -n '6,17s/^# \{0,1\}//p' "${BASH_SOURCE[0]}" >&2; exit 2; }

# 1500000, 1500k and 1.5M are the same count.
count_of() {
  awk -v v="$1" 'BEGIN {
    m = 1; s = v
    if (s ~ /[kK]$/) { m = 1e3; s = substr(s, 1, length(s) - 1) }
    else if (s ~ /M$/) { m = 1e6; s = substr(s, 1, length(s) - 1) }
    if (s !~ /^[0-9]+(\.[0-9]+)?$/) exit 1
    printf "%.0f\n", s * m }' || { echo "not a count: $1" >&2; exit 2; }
}

booked() {
  if [ -s "$ledger" ]; then awk -v t="$1" '$2 == t { s += $3 } END { printf "%.0f\n", s }' "$ledger"; else echo 0; fi
}

check_target() {
  fuzz_targets | grep -qx "$1" || { echo "no such fuzz target: $1 (see fuzz/CMakeLists.txt)" >&2; exit 2; }
}

# One piece: PROCESSES fuzzers on the target for SECONDS, each booked on its
# own ledger line. Fails when any of them found something.
run_piece() {
  local t="$1" seconds="$2" processes="$3" status=0 i
  local stamp pids=() logs=()
  stamp="$(date -u +%Y%m%dT%H%M%S)"
  mkdir -p "$work/corpus/$t" "$work/logs" "$work/findings"
  for ((i = 1; i <= processes; i++)); do
    logs+=("$work/logs/$t.$stamp.$i.log")
    "$build/fuzz/fuzz_$t" "${fuzz_limits[@]}" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$work/findings/$t-" "$work/corpus/$t" "$root/fuzz/corpus/$t" 2>"${logs[-1]}" &
    pids+=($!)
  done
  for ((i = 0; i < processes; i++)); do
    local rc=0 runs
    wait "${pids[$i]}" || rc=$?
    runs="$(fuzz_executions "${logs[$i]}")"
    echo "$(date -u -Is) $t ${runs:-0} rc=$rc seconds=$seconds log=${logs[$i]}" >>"$ledger"
    if [ "$rc" -ne 0 ]; then
      echo "== $t: finding, see ${logs[$i]} and $work/findings/" >&2
      status=1
    fi
  done
  return $status
}

cmd_run() {
  local processes seconds=600 goal="" opt
  processes="$(nproc)"
  OPTIND=1
  while getopts "p:t:n:" opt; do
    case "$opt" in
      p) processes="$OPTARG" ;;
      t) seconds="$OPTARG" ;;
      n) goal="$(count_of "$OPTARG")" ;;
      *) usage ;;
    esac
  done
  shift $((OPTIND - 1))
  [ $# -gt 0 ] || usage
  [[ "$processes" =~ ^[1-9][0-9]*$ && "$seconds" =~ ^[1-9][0-9]*$ ]] || usage
  local t
  for t in "$@"; do check_target "$t"; done

  fuzz_build_harden "$build" >/dev/null
  fuzz_sanitizer_env
  # Targets that read files by name write them to a scratch folder; memory
  # spares the disk millions of small writes.
  if [ -z "${TMPDIR:-}" ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
  mkdir -p "$work"

  for t in "$@"; do
    local left="$seconds" piece
    while :; do
      if [ -n "$goal" ]; then
        [ "$(booked "$t")" -lt "$goal" ] || break
        piece=$((seconds < 600 ? seconds : 600))
      else
        [ "$left" -gt 0 ] || break
        piece=$((left < 600 ? left : 600))
        left=$((left - piece))
      fi
      run_piece "$t" "$piece" "$processes" || exit 1
      echo "== $t: $(booked "$t") executions booked"
    done
  done
}

cmd_tally() {
  [ -s "$ledger" ] || { echo "no runs booked in $ledger"; return; }
  awk '{ n[$2] += $3; p[$2]++; if ($4 != "rc=0") f[$2]++ }
    END { for (t in n) printf "%-16s %14.0f executions in %4d runs, %d with a finding\n", t, n[t], p[t], f[t] }' \
    "$ledger" | sort
}

cmd_merge() {
  [ $# -gt 0 ] || usage
  local t
  for t in "$@"; do check_target "$t"; done
  fuzz_build_harden "$build" >/dev/null
  fuzz_sanitizer_env
  export ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0"
  for t in "$@"; do
    local corpus="$root/fuzz/corpus/$t" log="$work/logs/merge.$t.log" f name added=0
    [ -d "$work/corpus/$t" ] || { echo "== $t: no working corpus"; continue; }
    mkdir -p "$work/logs"
    # Edges only: counters would keep inputs that merely loop more often.
    "$build/fuzz/fuzz_$t" -merge=1 -use_counters=0 "${fuzz_limits[@]}" "$corpus" "$work/corpus/$t" 2>"$log" ||
      { echo "== $t: merge failed, see $log" >&2; exit 1; }
    # The merge names what it adds by the SHA-1 of the content.
    for f in "$corpus"/*; do
      name="$(basename "$f")"
      if [[ "$name" =~ ^[0-9a-f]{40}$ ]]; then
        mv "$f" "$corpus/grown-${name:0:12}"
        added=$((added + 1))
      fi
    done
    echo "== $t: $added inputs added"
  done
}

[ $# -gt 0 ] || usage
command="$1"
shift
case "$command" in
  run) cmd_run "$@" ;;
  tally) cmd_tally ;;
  merge) cmd_merge "$@" ;;
  *) usage ;;
esac
