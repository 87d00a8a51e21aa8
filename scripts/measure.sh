#!/usr/bin/env bash
# Measures the game against a floor program on a private virtual display and
# prints, for the loading loop, the menu and play, what a player's machine
# pays for each: time to the first frame, time until frames arrive steadily,
# CPU, frame intervals, memory and threads, each beside the floor's and as a
# ratio of the two, with the goals they are held to.
#
#   scripts/measure.sh [-n RUNS] [-s SCALE] [SCREEN...]
#
# SCREEN is loading, menu or play (default: all three); RUNS repetitions
# (default 5), interleaved: each run measures the floor and the game (which
# goes first alternates) on every screen before the next run starts, so load
# from elsewhere on the machine falls on both. The timedemo of the committed
# replay follows. SCALE (default 1) is the window factor of both programs;
# 2 gives a 1920 x 1080 desktop, where 2 is also the game's own choice.
#
#   loading  from the start until LOAD_SECONDS (3): the "Loading..." frame,
#            the loading, then the menu (the title is skipped with Escape at
#            the first frame, as a player would)
#   menu     MENU_SECONDS (10) of the idle menu, with its music, scroller and
#            colour bar, from 3 s after the start
#   play     PLAY_SECONDS (20) of tests/app/replays/tour-maps-1-to-4.vrp
#            played in real time, from 3 s after the start (the replay
#            quits after about 55 s, so at most 50)
#
# The floor (tools/measure/FloorLoop.cpp, build/bin/vgrfloor) opens the
# window as the game does and per frame blits a 640 x 400 back buffer, waits
# with the game's pacing and flips; nothing else. Frame times are the moments
# the presents return, logged by a preloaded library
# (tools/measure/PresentShim.cpp, build/bin/libvgrpresentlog.so), never
# estimated. Both draw in software (SDL_RENDER_DRIVER=software,
# SDL_FRAMEBUFFER_ACCELERATION=0) with the dummy audio driver, on an Xvfb of
# their own.
#
# Figures:
#   first frame    start of the process to the first present returning
#   steady         start to the first frame of 30 frames that each follow
#                  the one before within the floor's p99 interval of the
#                  same run (at least 1.5 frame periods): as steadily as
#                  the floor manages on the machine at that time
#   steady after loading  the same from the end of the loading: the first look at
#                  the events after the first frame
#   CPU            all the process's threads, % of one core over the window
#   Xvfb CPU       the display server's share over the same window
#   interval       between presents in the window: median, p99, max
#   late           % of those intervals over 24 ms (1.5 periods): frames
#                  that missed their deadline
#   peak RSS       VmHWM at the end of the window; anon RSS its RssAnon
#
# MEASURE_KEEP=DIR keeps the present logs, the game's logs and runs.tsv (one
# line per run) in DIR. Run it at the machine's normal priority; the figures
# are meant as ratios against the floor of the same run.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"
runs=5
scale=1
screens=()
while [ $# -gt 0 ]; do
  case "$1" in
    -n) runs="$2"; shift 2 ;;
    -s) scale="$2"; shift 2 ;;
    loading|menu|play) screens+=("$1"); shift ;;
    -h|--help) sed -n '2,/^set -euo/p' "${BASH_SOURCE[0]}" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "measure.sh: unknown argument $1 (see --help)" >&2; exit 2 ;;
  esac
done
[ ${#screens[@]} -gt 0 ] || screens=(loading menu play)
LOAD_SECONDS="${LOAD_SECONDS:-3}"
MENU_SECONDS="${MENU_SECONDS:-10}"
PLAY_SECONDS="${PLAY_SECONDS:-20}"
replay="$root/tests/app/replays/tour-maps-1-to-4.vrp"

for t in Xvfb awk; do
  command -v "$t" >/dev/null 2>&1 || { echo "measure.sh: $t is not installed (scripts/install-deps.sh)" >&2; exit 1; }
done

# ---- Build what is missing or stale ---------------------------------------
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j2 --target Voltigor vgr_data vgrfloor vgrpresentlog >/dev/null

work="$(mktemp -d)"
XVFB_PID=""
RUN_PID=""
SLEEP_PID=""
cleanup() {
  if [ -n "$SLEEP_PID" ]; then kill "$SLEEP_PID" 2>/dev/null || true; fi
  if [ -n "$RUN_PID" ]; then kill -KILL "$RUN_PID" 2>/dev/null || true; fi
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
  wait 2>/dev/null || true
  if [ -n "${MEASURE_KEEP:-}" ]; then
    mkdir -p "$MEASURE_KEEP" && cp -r "$work"/. "$MEASURE_KEEP"/ && echo "kept in $MEASURE_KEEP"
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The game runs from a copy beside its own archive copy: its log and any
# write to the archive stay out of the build folder.
mkdir -p "$work/game" "$work/logs"
cp "$build/bin/Voltigor" "$build/bin/Voltigor.mad4" "$work/game/"
floor="$build/bin/vgrfloor"
shim="$build/bin/libvgrpresentlog.so"

# A bare key script (a replay without checks): Escape at the first frame
# skips the title, then no key for a million frames, so the menu stays.
{
  printf 'VGRREPLY\x01\x00'          # magic, format 1
  printf '\x01\x00\x00\x00'          # seed
  printf '\x01\x00\x01\x00\x00\x00'  # start map 1, normal mode, last level 1
  printf '\x19%s' "Voltigor V1.05 Build 0063"
  printf 'K\x00\x00\x00\x00\x01\x00\x1b\x80'  # frame 0: Escape down
  printf 'K\x01\x00\x00\x00\x01\x00\x1b\x00'  # frame 1: Escape up
  printf 'E\x40\x42\x0f\x00'                  # a million frames
} >"$work/menu.vrp"

# ---- The display ----------------------------------------------------------
case "$scale" in
  1) desktop=1024x768 ;;
  2) desktop=1920x1080 ;;
  *) echo "measure.sh: -s takes 1 or 2" >&2; exit 2 ;;
esac
Xvfb -displayfd 3 -screen 0 ${desktop}x24 -nolisten tcp -ac 3>"$work/display" 2>"$work/xvfb.err" &
XVFB_PID=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "measure.sh: Xvfb did not start" >&2; cat "$work/xvfb.err" >&2; exit 1; }
export DISPLAY=":$(head -1 "$work/display")"
export SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy SDL_RENDER_DRIVER=software SDL_FRAMEBUFFER_ACCELERATION=0
# The same window factor for both.
export SDL12COMPAT_WINDOW_SCALING="$scale"
unset LD_PRELOAD

now() { echo "${EPOCHREALTIME/./}"; }  # microseconds
# Nanoseconds on the CPU of every thread of a process.
cpu_ns() {
  local sum=0 f v
  for f in /proc/"$1"/task/*/schedstat; do
    read -r v _ <"$f" 2>/dev/null && sum=$((sum + v))
  done
  echo "$sum"
}
status_field() { awk -v k="$2:" '$1 == k { print $2 }' "/proc/$1/status" 2>/dev/null; }
# Sleeps in the background so that an interrupt is handled at once.
sleep_until() {  # microseconds since the epoch
  local left=$(($1 - $(now)))
  if [ "$left" -gt 0 ]; then
    sleep "$(awk -v u="$left" 'BEGIN { printf "%.6f", u / 1e6 }')" &
    SLEEP_PID=$!
    wait "$SLEEP_PID" || true
    SLEEP_PID=""
  fi
}

# measure SCREEN KIND RUN: one process from its start to the end of its
# window: its presents logged, its CPU and memory read; one line of meta.tsv.
measure() {
  local screen="$1" kind="$2" run="$3" from to
  case "$screen" in
    loading) from=0; to="$LOAD_SECONDS" ;;
    menu) from=3; to=$((3 + MENU_SECONDS)) ;;
    play) from=3; to=$((3 + PLAY_SECONDS)) ;;
  esac
  local presents="$work/logs/$screen-$kind-$run.presents"
  local cmd=()
  if [ "$kind" = floor ]; then
    cmd=("$floor")
  elif [ "$screen" = play ]; then
    cmd=("$work/game/Voltigor" -mainlog "$work/logs/$screen-$run.log" -replay "$replay")
  else
    cmd=("$work/game/Voltigor" -mainlog "$work/logs/$screen-$run.log" -replay "$work/menu.vrp")
  fi
  : >"$presents"
  local t0
  t0="$(now)"
  (cd "$work" && VGR_PRESENT_LOG="$presents" LD_PRELOAD="$shim" exec "${cmd[@]}" >/dev/null 2>&1) &
  RUN_PID=$!
  sleep_until $((t0 + from * 1000000))
  local w1 c1 x1 w2 c2 x2
  w1="$(now)"; c1="$(cpu_ns "$RUN_PID")"; x1="$(cpu_ns "$XVFB_PID")"
  sleep_until $((t0 + to * 1000000))
  w2="$(now)"; c2="$(cpu_ns "$RUN_PID")"; x2="$(cpu_ns "$XVFB_PID")"
  local hwm anon threads alive=1
  hwm="$(status_field "$RUN_PID" VmHWM)"; anon="$(status_field "$RUN_PID" RssAnon)"
  threads="$(status_field "$RUN_PID" Threads)"
  kill -0 "$RUN_PID" 2>/dev/null || alive=0
  kill -TERM "$RUN_PID" 2>/dev/null || true
  for _ in $(seq 20); do kill -0 "$RUN_PID" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$RUN_PID" 2>/dev/null || true
  wait "$RUN_PID" 2>/dev/null || true
  RUN_PID=""
  if [ "$alive" = 0 ] || [ -z "$hwm" ]; then
    echo "measure.sh: $kind ended before its $screen window did (run $run); see MEASURE_KEEP" >&2
    printf '%s\t%s\t%s\tfailed\n' "$screen" "$kind" "$run" >>"$work/failed.tsv"
    return 0
  fi
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$screen" "$kind" "$run" "$t0" "$w1" "$w2" \
    "$c1" "$c2" "$x1" "$x2" "$hwm" "$anon" "$threads" >>"$work/meta.tsv"
  cp "$work/game/Voltigor.log" "$work/logs/$screen-$run-last.log" 2>/dev/null || true
}

# analyse SCREEN KIND RUN T0 W1 W2 C1 C2 X1 X2 HWM ANON THREADS LIMIT_MS: one
# line of runs.tsv from a run's present log, on the log's monotonic clock,
# against the start, the window and the end of the loading. Frames are
# steady once 30 intervals in a row stay within LIMIT_MS.
analyse() {
  local presents="$work/logs/$1-$2-$3.presents"
  awk -v screen="$1" -v kind="$2" -v run="$3" -v t0="$4" -v w1="$5" -v w2="$6" -v c1="$7" -v c2="$8" \
      -v x1="$9" -v x2="${10}" -v hwm="${11}" -v anon="${12}" -v threads="${13}" -v limit="${14}" '
    function isort(a, m,  i, j, x) { for (i = 2; i <= m; i++) { x = a[i]; for (j = i - 1; j > 0 && a[j] > x; j--) a[j + 1] = a[j]; a[j + 1] = x } }
    function pct(a, q,  i) { i = int((n_iv - 1) * q + 0.5); return a[i + 1] }
    $1 == "init" { offset = $2 - $3 }  # realtime minus monotonic, ns
    $1 == "poll" { poll = $2 }
    $1 == "P" { end[++n] = $3 }
    END {
      start = t0 * 1000 - offset; from = w1 * 1000 - offset; to = w2 * 1000 - offset
      first = n ? (end[1] - start) / 1e6 : -1
      steady = -1
      for (i = 1; i + 30 <= n && steady < 0; i++) {
        ok = 1
        for (j = i; j < i + 30; j++) if (end[j + 1] - end[j] > limit * 1e6) { ok = 0; break }
        if (ok) steady = i
      }
      loaded = poll ? poll : end[1]
      st = steady > 0 ? (end[steady] - start) / 1e6 : -1
      stl = steady > 0 ? (end[steady] - loaded) / 1e6 : -1
      if (stl < 0 && steady > 0) stl = 0
      n_iv = 0
      for (i = 2; i <= n; i++) if (end[i - 1] >= from && end[i] <= to) iv[++n_iv] = (end[i] - end[i - 1]) / 1e6
      isort(iv, n_iv)
      med = n_iv ? pct(iv, 0.5) : -1; p99 = n_iv ? pct(iv, 0.99) : -1; mx = n_iv ? iv[n_iv] : -1
      late = 0; for (i = 1; i <= n_iv; i++) if (iv[i] > 24) late++
      late = n_iv ? 100 * late / n_iv : -1
      cpu = 100 * (c2 - c1) / ((w2 - w1) * 1000); xcpu = 100 * (x2 - x1) / ((w2 - w1) * 1000)
      printf "%s\t%s\t%s\t%.1f\t%.1f\t%.1f\t%.2f\t%.2f\t%.3f\t%.3f\t%.3f\t%.1f\t%.1f\t%d\t%d\t%.1f\t%.1f\n", \
        screen, kind, run, first, st, stl, cpu, xcpu, med, p99, mx, hwm / 1024, anon / 1024, threads, n_iv, limit, late
    }' "$presents"
}

echo "measure.sh: $runs runs of ${screens[*]} at ${scale}x on display $DISPLAY"
echo "load before: $(uptime)"
: >"$work/meta.tsv"
for run in $(seq "$runs"); do
  for screen in "${screens[@]}"; do
    # Which goes first alternates, so neither always follows the other.
    if [ $((run % 2)) = 1 ]; then order=(floor Voltigor); else order=(Voltigor floor); fi
    for kind in "${order[@]}"; do measure "$screen" "$kind" "$run"; done
  done
  echo "  run $run of $runs done"
done
echo "load after:  $(uptime)"

# The floors first: each run's floor p99 interval (at least 1.5 periods of
# 16 ms) is the steadiness the game is held to in the same run.
: >"$work/runs.tsv"
while IFS=$'\t' read -r -a m; do
  if [ "${m[1]}" = floor ]; then analyse "${m[@]}" 24 >>"$work/runs.tsv"; fi
done <"$work/meta.tsv"
while IFS=$'\t' read -r -a m; do
  [ "${m[1]}" = Voltigor ] || continue
  limit="$(awk -F'\t' -v s="${m[0]}" -v r="${m[2]}" '$1 == s && $2 == "floor" && $3 == r { print ($10 > 24 ? $10 : 24) }' "$work/runs.tsv")"
  analyse "${m[@]}" "${limit:-24}" >>"$work/runs.tsv"
done <"$work/meta.tsv"
grep -h failed "$work/failed.tsv" >>"$work/runs.tsv" 2>/dev/null || true

# ---- The tables ------------------------------------------------------------
# Medians over the runs of each figure, and the median of the per-run
# ratios Voltigor / floor (each run's pair shared the machine's load).
report() {
  awk -F'\t' -v screen="$1" '
    function isort(a, m,  i, j, x) { for (i = 2; i <= m; i++) { x = a[i]; for (j = i - 1; j > 0 && a[j] > x; j--) a[j + 1] = a[j]; a[j + 1] = x } }
    $1 != screen || $4 == "failed" { if ($1 == screen) failed++; next }
    {
      for (f = 4; f <= 17; f++) v[$2, f, $3] = $f
      if (!($3 in runs)) nruns++
      runs[$3] = 1
    }
    END {
      split("first frame ms|steady ms|steady after loading ms|CPU % of a core|Xvfb CPU %|interval median ms|interval p99 ms|interval max ms|peak RSS MB|anon RSS MB|threads|late intervals %", name, "|")
      if (screen == "loading") { goal[4] = "<= floor + 15 ms"; goal[6] = "<= 150 ms" }
      if (screen == "menu") { goal[7] = "<= 1.3 x floor" }
      if (screen == "play") { goal[7] = "<= 1.5 x floor" }
      if (screen != "loading") goal[10] = "<= floor + 1 ms"
      goal[12] = "<= 21 MB"
      goal[15] = "<= floor + 2"
      printf "\n== %s: medians of %d runs%s\n", screen, nruns, failed ? " (" failed " failed)" : ""
      printf "%-26s %10s %10s %8s %10s   %-18s %s\n", "figure", "Voltigor", "floor", "ratio", "difference", "goal", ""
      for (row = 4; row <= 15; row++) {
        f = row == 15 ? 17 : row
        delete a; delete b; delete r; delete d
        for (k in runs) {
          if ((("Voltigor", f, k) in v) && (("floor", f, k) in v)) {
            a[k] = v["Voltigor", f, k]; b[k] = v["floor", f, k]; d[k] = a[k] - b[k]
            if (b[k] != 0) r[k] = a[k] / b[k]
          }
        }
        ma = mid(a); mb = mid(b); mr = mid(r); md = mid(d)
        # The floor is steady from its first frame on: no ratio to take.
        if (f == 6) mr = "-"
        verdict = ""
        if (f == 4 && screen == "loading") verdict = md <= 15 ? "met" : sprintf("missed by %.1f ms", md - 15)
        if (f == 6 && screen == "loading") verdict = ma <= 150 ? "met" : sprintf("missed by %.1f ms", ma - 150)
        if (f == 7 && screen == "menu") verdict = mr <= 1.3 ? "met" : sprintf("missed by %.2f x", mr - 1.3)
        if (f == 7 && screen == "play") verdict = mr <= 1.5 ? "met" : sprintf("missed by %.2f x", mr - 1.5)
        if (f == 10 && screen != "loading") verdict = md <= 1 ? "met" : sprintf("missed by %.2f ms", md - 1)
        if (f == 12) verdict = ma <= 21 ? "met" : sprintf("missed by %.1f MB", ma - 21)
        if (f == 17) verdict = md <= 2 ? "met" : sprintf("missed by %.1f points", md - 2)
        printf "%-26s %10s %10s %8s %10s   %-18s %s\n", name[row - 3], fmt(ma), fmt(mb), fmt(mr), fmt(md), goal[row], verdict
      }
    }
    function mid(a,  t, i, m) {
      m = 0; for (i in a) t[++m] = a[i]
      if (!m) return "-"
      isort(t, m); return m % 2 ? t[(m + 1) / 2] : (t[m / 2] + t[m / 2 + 1]) / 2
    }
    function fmt(x) { return x == "-" ? "-" : sprintf("%.2f", x) }
  ' "$work/runs.tsv"
}
for screen in "${screens[@]}"; do report "$screen"; done

# ---- The timedemo: logic and drawing without the present ------------------
echo
echo "== timedemo of $(basename "$replay") (goal: without the present, median <= 0.25 ms, p99 <= 1 ms)"
(cd "$work" && "$work/game/Voltigor" -mainlog "$work/logs/timedemo.log" -replay "$replay" -timedemo) |
  awk '/^Timedemo:/ {
         print
         s = $0; sub(/.*without the present: median /, "", s); split(s, w, " ")
         med = w[1]; p99 = w[4]
         printf "without the present: median %s ms, p99 %s ms: %s\n", med, p99, (med + 0 <= 0.25 && p99 + 0 <= 1) ? "met" : "missed"
       }'
