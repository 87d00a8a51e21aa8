# Shared by the tests that run the game on a virtual X display: starts Xvfb
# (any free display number, open to every local user) with a small window
# manager, finds the game's window and reads its size. Sourced, not run.

# Exits 77 (the test is skipped) when a tool is missing.
need_tools() {
  for t in "$@"; do
    command -v "$t" >/dev/null 2>&1 || { echo "SKIP: $t is not installed (scripts/install-deps.sh)"; exit 77; }
  done
}

# start_x WIDTHxHEIGHT [bare]: a virtual display and jwm on it, or no window
# manager at all with "bare"; DISPLAY is set.
start_x() {
  local fd_file="$WORK/display"
  # -noreset: without a window manager the server would reset each time the
  # last game closed, refusing the next one's connection for that moment.
  Xvfb -displayfd 3 -screen 0 "${1}x24" -nolisten tcp -ac -noreset 3>"$fd_file" 2>"$WORK/xvfb.err" &
  XVFB_PID=$!
  for _ in $(seq 100); do [ -s "$fd_file" ] && break; sleep 0.1; done
  [ -s "$fd_file" ] || { echo "FAIL: Xvfb did not start"; cat "$WORK/xvfb.err"; exit 1; }
  export DISPLAY=":$(head -1 "$fd_file")"
  # The suite runs with the dummy drivers; these games show a real window.
  export SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy
  # Under the sanitizers: the libraries of a real display (D-Bus, and the X
  # driver SDL loads and unloads again) keep allocations LeakSanitizer cannot
  # name. Our own code's leaks are checked by the rest of the suite.
  export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
  [ "${2:-}" = bare ] && return 0
  jwm >/dev/null 2>&1 &
  WM_PID=$!
  sleep 0.5
}

stop_x() {
  [ -n "${WM_PID:-}" ] && kill "$WM_PID" 2>/dev/null
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
  wait 2>/dev/null
}

# find_window: the id of the game's window (class Voltigor), waiting up to 30 s.
find_window() {
  local id=""
  for _ in $(seq 300); do
    for id in $(xdotool search --onlyvisible --class Voltigor 2>/dev/null); do
      xwininfo -id "$id" >/dev/null 2>&1 && { echo "$id"; return 0; }
    done
    sleep 0.1
  done
  return 1
}

# gone_window ID: waits (up to 10 s) until the server has destroyed the
# window of a game that ended; the next game's window may get the same id.
gone_window() {
  for _ in $(seq 100); do
    xwininfo -id "$1" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  return 1
}

# Gives the window the focus: the game pauses while it has none.
focus_window() {
  xdotool windowactivate --sync "$1" >/dev/null 2>&1 || xdotool windowfocus "$1" >/dev/null 2>&1
}

window_size() {
  xwininfo -id "$1" 2>/dev/null | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w "x" h}'
}

# The window's top left corner on the screen, as X+Y.
window_place() {
  xwininfo -id "$1" 2>/dev/null | awk '/Absolute upper-left X:/ {x = $4} /Absolute upper-left Y:/ {y = $4} END {print x "+" y}'
}

# shows_picture WINDOW SECONDS GOLDEN...: waits until the window shows one of
# the 640 x 400 golden pictures whole, every pixel a square of the window's
# largest whole factor, centred on black, and names it; false when none came
# within SECONDS. Needs ImageMagick.
shows_picture() {
  local win=$1 seconds=$2
  shift 2
  local end=$((SECONDS + seconds)) shot="$WORK/shot.png" size="" k g expected
  while [ $SECONDS -le $end ]; do
    if import -window "$win" "$shot" 2>/dev/null; then
      size=$(identify -format '%wx%h' "$shot")
      k=$(( ${size%x*} / 640 < ${size#*x} / 400 ? ${size%x*} / 640 : ${size#*x} / 400 ))
      if [ "$k" -ge 1 ]; then
        for g in "$@"; do
          expected="$WORK/$(basename "$g" .png)-$size.png"
          [ -f "$expected" ] || convert "$g" -sample "$((640 * k))x$((400 * k))!" -background black \
            -gravity center -extent "$size" "$expected"
          if [ "$(compare -metric AE "$shot" "$expected" null: 2>&1)" = 0 ]; then
            echo "$(basename "$g" .png) at ${k}x in $size"
            return 0
          fi
        done
      fi
    fi
    sleep 0.3
  done
  echo "none of the pictures (last look: ${size:-no picture})"
  # WINDOW_SHOTS=DIR keeps the last look for a person to see.
  [ -n "${WINDOW_SHOTS:-}" ] && cp "$shot" "$WINDOW_SHOTS/mismatch-$SECONDS.png" 2>/dev/null
  return 1
}

# wait_size WINDOW WxH: true once the window has that size (up to 10 s);
# false at once when the window is gone.
wait_size() {
  for _ in $(seq 100); do
    case "$(window_size "$1")" in
      "$2") return 0 ;;
      x) return 1 ;;
    esac
    sleep 0.1
  done
  return 1
}
