#!/usr/bin/env bash
# The window a player gets on a 1920 x 1080 desktop, looked at as a player
# sees it: screenshots of the window, each of which must be one of the title's
# held pictures (the game's own 640 x 400 frames, tests/app/golden), every
# pixel a square of the window's largest whole factor, centred on black.
#   - the default window: twice the game's size;
#   - Alt+Enter: full screen over the whole desktop, the picture twice, and
#     Alt+Enter again gives back the same window, also when pressed twice in
#     quick succession;
#   - FULLSCREEN as the first argument: the same full screen, and Alt+Enter
#     gives the default window;
#   - -scale: 1 the original size; a factor that does not fit the desktop, or
#     no factor at all, says so in one line and opens the default window.
# With "bare" there is no window manager at all, as on kiosks, some tiling
# setups and remote sessions; else jwm runs.
# Usage: window-under-xvfb.sh PROGRAM GOLDEN_DIR [bare]
set -u
PROGRAM=$1
GOLDEN=$2
SETUP=${3:-wm}
HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/xvfb-common.sh"
need_tools Xvfb xdotool xwininfo xprop import convert compare identify
[ "$SETUP" = bare ] || need_tools jwm
WORK=$(mktemp -d)
trap 'stop_x; rm -rf "$WORK"' EXIT
export SDL_AUDIODRIVER=dummy
start_x 1920x1080 "$SETUP"
TITLE=("$GOLDEN/title-presents.png" "$GOLDEN/title-credits.png" "$GOLDEN/title-inlay.png")

failures=0
check() {  # check WHAT EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then echo "ok: $1 ($3)"; else echo "FAIL: $1: expected $2, got $3"; failures=$((failures + 1)); fi
}

# picture WHAT: the window shows a title picture whole (see above).
picture() {
  local seen
  if seen=$(shows_picture "$WIN" 20 "${TITLE[@]}"); then
    echo "ok: $1 shows $seen"
  else
    echo "FAIL: $1 shows $seen"
    failures=$((failures + 1))
  fi
}

# run_game EXPECTED_SIZE [ARGS...]: starts the game, checks its window, leaves GAME_PID and WIN set.
run_game() {
  local expected=$1
  shift
  # FULLSCREEN counts only as the first argument.
  "$PROGRAM" "$@" -mainlog "$WORK/game.log" 2>"$WORK/stderr.txt" &
  GAME_PID=$!
  # Full screen from the start closes the first window and opens another,
  # which may get the same id.
  local end=$((SECONDS + 30))
  while :; do
    WIN=$(find_window) || {
      echo "FAIL: no window for $*"
      tail -n 5 "$WORK/stderr.txt" "$WORK/game.log"
      kill "$GAME_PID"
      exit 1
    }
    wait_size "$WIN" "$expected" && break
    [ $SECONDS -lt $end ] || break
    sleep 0.2
  done
  check "window size with '$*'" "$expected" "$(window_size "$WIN")"
  focus_window "$WIN"
}

end_game() {
  kill -TERM "$GAME_PID"
  wait "$GAME_PID"
  check "exit code after the window was closed" 2 $?
  gone_window "$WIN"
}

# Full screen: the whole desktop, and marked so for a window manager.
full_screen() {
  wait_size "$WIN" 1920x1080
  check "$1: the desktop covered" "1920x1080 at 0+0" "$(window_size "$WIN") at $(window_place "$WIN")"
  if [ "$SETUP" != bare ]; then
    check "$1: marked full screen" full \
      "$(xprop -id "$WIN" _NET_WM_STATE | grep -q _NET_WM_STATE_FULLSCREEN && echo full || echo windowed)"
  fi
  picture "$1"
}

run_game 1280x800
picture "the default window"
place=$(window_place "$WIN")
xdotool key --window "$WIN" alt+Return
full_screen "Alt+Enter"
xdotool key --window "$WIN" alt+Return
wait_size "$WIN" 1280x800
check "Alt+Enter again: the window as before" "1280x800 at $place" "$(window_size "$WIN") at $(window_place "$WIN")"
picture "Alt+Enter again"
end_game

run_game 1280x800
xdotool key --window "$WIN" alt+Return
sleep 0.3
xdotool key --window "$WIN" alt+Return
sleep 1
wait_size "$WIN" 1280x800
check "Alt+Enter twice at once: the window" 1280x800 "$(window_size "$WIN")"
picture "Alt+Enter twice at once"
end_game

run_game 1920x1080 FULLSCREEN
full_screen "FULLSCREEN"
xdotool key --window "$WIN" alt+Return
wait_size "$WIN" 1280x800
check "FULLSCREEN, then Alt+Enter: the default window" 1280x800 "$(window_size "$WIN")"
picture "FULLSCREEN, then Alt+Enter"
end_game

run_game 640x400 -scale 1
picture "-scale 1"
# No OpenGL driver was loaded to find that out: it would bring a thread per core.
threads=$(awk '/^Threads:/ {print $2}' "/proc/$GAME_PID/status")
check "threads of the game drawing in software" "at most 3" "$([ "$threads" -le 3 ] && echo "at most 3" || echo "$threads")"
end_game
# A virtual display offers no direct rendering: OpenGL would draw in software,
# so SDL's own software renderer is chosen instead, and said so.
check "the renderer chosen" 1 "$(tr -d '\r' <"$WORK/game.log" | grep -c -F -x \
  "(ZR_SDL, Initialize) Renderer: software (OpenGL would draw in software: the X server offers no direct rendering)")"
check "the renderer drawing" 1 "$(grep -c "Drawing with SDL's software renderer" "$WORK/game.log")"

# The player's own SDL_RENDER_DRIVER wins, and the picture is the same.
if [ "$SETUP" != bare ] && [ -n "$(ls /usr/lib/*/dri/swrast_dri.so 2>/dev/null)" ]; then
  SDL_RENDER_DRIVER=opengl run_game 1280x800
  picture "SDL_RENDER_DRIVER=opengl"
  end_game
  check "the player's renderer" "Renderer: opengl (SDL_RENDER_DRIVER)" \
    "$(tr -d '\r' <"$WORK/game.log" | grep -o "Renderer: .*")"
fi

# scale_refused VALUE LINE: one line on standard error and in the log, and the default window.
scale_refused() {
  run_game 1280x800 -scale "$1"
  end_game
  check "-scale $1: standard error" "Voltigor: $2" "$(cat "$WORK/stderr.txt")"
  check "-scale $1: the log" 1 "$(tr -d '\r' <"$WORK/game.log" | grep -c -F -x "[ZR_SDL, Initialize] $2")"
}
# The switch does not depend on the window manager: looked at once.
if [ "$SETUP" != bare ]; then
scale_refused 3 "-scale 3: the desktop is 1920x1080; using 2"
scale_refused 8 "-scale 8: the desktop is 1920x1080; using 2"
scale_refused 0 "-scale 0: not a whole number from 1 to 8; using 2"
scale_refused -1 "-scale -1: not a whole number from 1 to 8; using 2"
scale_refused x "-scale x: not a whole number from 1 to 8; using 2"
fi

[ "$failures" -eq 0 ]
