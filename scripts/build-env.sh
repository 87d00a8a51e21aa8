# Sourced by the scripts that build and test: the compiler cache, and a clock
# for the phases of a run.

build_env_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# ccache, when installed, in its default folder in the user's home, so that it
# outlives the tree: a fresh clone builds from the objects of the last one.
# Paths under the tree are hashed relative to it and the working folder not
# at all, so a clone in another folder finds the same objects. Whatever a
# configuration file of the machine says, these hold.
cache_args=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="$build_env_root"
  export CCACHE_NOHASHDIR=1
  cache_args=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

# The generator of a build folder: whatever it was made with, else Ninja when
# there, which keeps both cores busy to the last object.
generator_args() {
  local build="$1"
  if [ ! -e "$build/CMakeCache.txt" ] && command -v ninja >/dev/null 2>&1; then
    echo "-G Ninja"
  fi
}

# phase NAME COMMAND...: runs the command and notes how long it took in the
# run's phase list; phase_report prints the list and the whole.
# phase_clock_begin starts the list unless a script that started this one
# did: the first script of a run owns the list and prints it as it ends, and
# the scripts it starts add to the same list (VGR_PHASE_LOG).
phase() {
  local name="$1" start=$SECONDS status=0
  shift
  "$@" || status=$?
  local took=$((SECONDS - start))
  if [ -n "${VGR_PHASE_LOG:-}" ]; then
    printf '%-26s %3dm%02ds  load %s%s\n' "$name" $((took / 60)) $((took % 60)) \
      "$(cut -d' ' -f1-3 /proc/loadavg)" "$([ "$status" -eq 0 ] || echo "  (failed: $status)")" >>"$VGR_PHASE_LOG"
  fi
  echo "== $name: $((took / 60))m$((took % 60))s"
  return "$status"
}

phase_report() {
  local took=$((SECONDS - phase_clock_start))
  echo "== phase times (load averages over 1, 5 and 15 minutes at each phase's end)"
  cat "$VGR_PHASE_LOG"
  printf '%-26s %3dm%02ds\n' "whole run" $((took / 60)) $((took % 60))
}

phase_clock_begin() {
  [ -z "${VGR_PHASE_LOG:-}" ] || return 0
  VGR_PHASE_LOG="$(mktemp)"
  export VGR_PHASE_LOG
  phase_clock_start=$SECONDS
  trap 'status=$?; phase_report; rm -f "$VGR_PHASE_LOG"; exit $status' EXIT
}
