#!/usr/bin/env bash
# The window a player gets on a 1920 x 1080 desktop: twice the game's size
# (1280 x 800), the original 640 x 400 with -scale 1, and Alt+Enter switching
# to full screen and back. Usage: window-under-xvfb.sh PROGRAM
set -u
PROGRAM=$1
HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/xvfb-common.sh"
need_tools Xvfb jwm xdotool xwininfo xprop
WORK=$(mktemp -d)
trap 'stop_x; rm -rf "$WORK"' EXIT
export SDL_AUDIODRIVER=dummy
start_x 1920x1080

failures=0
check() {  # check WHAT EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then echo "ok: $1 ($3)"; else echo "FAIL: $1: expected $2, got $3"; failures=$((failures + 1)); fi
}

# run_game EXPECTED_SIZE [ARGS...]: starts the game, checks its window, leaves GAME_PID and WIN set.
run_game() {
  local expected=$1
  shift
  "$PROGRAM" -mainlog "$WORK/game.log" "$@" &
  GAME_PID=$!
  WIN=$(find_window) || { echo "FAIL: no window for $*"; kill "$GAME_PID"; exit 1; }
  wait_size "$WIN" "$expected"
  check "window size with '$*'" "$expected" "$(window_size "$WIN")"
}

end_game() {
  kill -TERM "$GAME_PID"
  wait "$GAME_PID"
  check "exit code after the window was closed" 2 $?
  gone_window "$WIN"
}

fullscreen_state() {
  xprop -id "$WIN" _NET_WM_STATE | grep -q _NET_WM_STATE_FULLSCREEN && echo full || echo windowed
}

run_game 1280x800
focus_window "$WIN"
xdotool key --window "$WIN" alt+Return
wait_size "$WIN" 1920x1080
check "Alt+Enter: full screen" "1920x1080 full" "$(window_size "$WIN") $(fullscreen_state)"
xdotool key --window "$WIN" alt+Return
wait_size "$WIN" 1280x800
check "Alt+Enter again: the window" "1280x800 windowed" "$(window_size "$WIN") $(fullscreen_state)"
end_game

run_game 640x400 -scale 1
end_game

[ "$failures" -eq 0 ]
