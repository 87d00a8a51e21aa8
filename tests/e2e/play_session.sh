#!/usr/bin/env bash
# One session of the real program in a real X window: the title runs, Escape
# skips to the menu, NEW GAME is played for a few seconds with the arrow
# keys, Escape and Y leave the game, Escape and Return quit. The program must
# exit with 0, its log must end with its closing line, and the archive it
# mounted for writing must still pass the data tool's check.
#
#   tests/e2e/play_session.sh BIN_DIR
#
# Exits 77 (a skip for CTest) when Xvfb or xdotool is missing. Every process
# it starts is ended on every way out.
set -u

BIN_DIR=${1:?usage: play_session.sh BIN_DIR}
SKIP=77

for tool in xvfb-run Xvfb xdotool; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed"
    exit $SKIP
  fi
done
for f in "$BIN_DIR/Voltigor" "$BIN_DIR/vgrdata" "$BIN_DIR/Voltigor.mad4"; do
  if [ ! -e "$f" ]; then
    echo "SKIP: $f is not built"
    exit $SKIP
  fi
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/vgr-e2e-XXXXXX")
XVFB_PID=""
GAME_PID=""
cleanup() {
  [ -n "$GAME_PID" ] && kill -9 "$GAME_PID" 2>/dev/null
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  [ -n "$XVFB_PID" ] && wait "$XVFB_PID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

fail() {
  echo "FAIL: $*"
  if [ -f "$WORK/e2e.log" ]; then
    echo "--- last lines of the program's log"
    tail -n 15 "$WORK/e2e.log"
  fi
  exit 1
}

# Waits up to $2 tenths of a second for the log to hold a line with $1.
wait_for_log() {
  local i
  for ((i = 0; i < $2; i++)); do
    grep -qF -- "$1" "$WORK/e2e.log" 2>/dev/null && return 0
    kill -0 "$GAME_PID" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# The program works on a copy of the archive: it mounts it for writing.
cp "$BIN_DIR/Voltigor.mad4" "$WORK/Voltigor.mad4" || fail "cannot copy the archive"

# A private X server on the first free display it finds.
exec 3> "$WORK/display"
Xvfb -displayfd 3 -screen 0 640x400x24 -nolisten tcp >"$WORK/xvfb.out" 2>&1 &
XVFB_PID=$!
exec 3>&-
for ((i = 0; i < 100; i++)); do
  [ -s "$WORK/display" ] && break
  sleep 0.1
done
[ -s "$WORK/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$WORK/display")"

# Sound goes nowhere; the picture goes to the X server, whatever driver the
# headless tests around this one chose.
# Under the sanitizers: the libraries of a real display (D-Bus, and the X
# driver SDL loads and unloads again) keep allocations LeakSanitizer cannot
# name. Our own code's leaks are checked by the rest of the suite.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
(cd "$WORK" && SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy exec "$BIN_DIR/Voltigor" -mainlog "$WORK/e2e.log") &
GAME_PID=$!

wait_for_log "< Trace >2" 300 || fail "the program did not finish loading"
WINDOW=""
for ((i = 0; i < 100; i++)); do
  WINDOW=$(xdotool search --class Voltigor 2>/dev/null | head -n1)
  [ -n "$WINDOW" ] && break
  sleep 0.1
done
[ -n "$WINDOW" ] || fail "no window"
xdotool windowfocus --sync "$WINDOW" 2>/dev/null || xdotool windowfocus "$WINDOW"

# A press held over several frames: the screens read the key-state table once
# a frame, so a press and release drained in the same frame would go unseen.
key() { xdotool keydown "$1"; sleep 0.1; xdotool keyup "$1"; sleep 0.3; }

# "presents" is up once the menu music has started; let the title run a while.
wait_for_log "BASS: Music started." 100 || fail "the title did not start the music"
sleep 2
key Escape          # straight to the menu
sleep 1
key Return          # NEW GAME
wait_for_log "BASS: Music stopped." 50 || fail "NEW GAME did not stop the menu music"
for arrow in Right Left Right Up Right; do
  xdotool keydown "$arrow"; sleep 0.6; xdotool keyup "$arrow"
done
key space
sleep 0.5
key Escape          # asks whether to leave the game
key y               # leaves it
sleep 1.5
key Escape          # the cursor to QUIT
key Return          # quit

CODE=""
for ((i = 0; i < 200; i++)); do
  if ! kill -0 "$GAME_PID" 2>/dev/null; then
    wait "$GAME_PID"
    CODE=$?
    break
  fi
  sleep 0.1
done
[ -n "$CODE" ] || fail "the program did not quit"
GAME_PID=""
[ "$CODE" -eq 0 ] || fail "exit code $CODE"

LAST=$(tail -n1 "$WORK/e2e.log" | tr -d '\r')
case "$LAST" in
  "(..system..) Terminating Application. "*) ;;
  *) fail "the log ends with: $LAST" ;;
esac
"$BIN_DIR/vgrdata" archive check "$WORK/Voltigor.mad4" >"$WORK/check.out" 2>&1 ||
  { cat "$WORK/check.out"; fail "the archive does not pass the check"; }
echo "PASS: title, menu, a game and quit; exit 0, closing line written, archive checked"
