#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what a desktop sees:
# the menu entry and AppStream metadata validate, the manual page renders
# without warnings, the icons have their sizes, and the game started through
# its launcher by a user who cannot write the install folder, from another
# folder, reaches the menu and quits from it with exit code 0 (which only
# QUIT in the menu gives), its log in the state folder.
# Usage: installed-game.sh BUILD_DIR
set -u
BUILD=$1
HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/xvfb-common.sh"
need_tools desktop-file-validate appstreamcli man identify convert Xvfb jwm xdotool xwininfo
WORK=$(mktemp -d)
trap 'stop_x; chmod -R u+w "$WORK" 2>/dev/null; rm -rf "$WORK"' EXIT
chmod 755 "$WORK"
PREFIX=$WORK/prefix/usr

failures=0
check() {  # check WHAT EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then echo "ok: $1"; else echo "FAIL: $1: expected '$2', got '$3'"; failures=$((failures + 1)); fi
}

cmake --install "$BUILD" --prefix "$PREFIX" >"$WORK/install.log" 2>&1 || { cat "$WORK/install.log"; echo "FAIL: install"; exit 1; }

desktop=$PREFIX/share/applications/org.voltigor.Voltigor.desktop
check "desktop-file-validate" "" "$(desktop-file-validate "$desktop" 2>&1)"
appstreamcli validate --no-net "$PREFIX/share/metainfo/org.voltigor.Voltigor.metainfo.xml" >"$WORK/as.log" 2>&1
check "appstreamcli validate" 0 $?
man_warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$PREFIX/share/man/man6/voltigor.6" 2>&1 >/dev/null)
check "man page renders without warnings" "" "$man_warnings"

# Every switch --help names is in the manual page.
help=$("$PREFIX/games/voltigor" --help)
man_text=$(MANWIDTH=200 man -E UTF-8 -l "$PREFIX/share/man/man6/voltigor.6" 2>/dev/null | col -b)
for sw in $(grep -oE '(^|[ ,])-{1,2}[a-z]+' <<<"$help" | tr -d ' ,' | sort -u); do
  grep -qe "$sw" <<<"$man_text" || { echo "FAIL: the manual page lacks $sw"; failures=$((failures + 1)); }
done

for size in 32 64 128 256; do
  icon=$PREFIX/share/icons/hicolor/${size}x${size}/apps/voltigor.png
  check "icon $size" "${size}x${size}" "$(identify -format '%wx%h' "$icon" 2>&1)"
  # Something is drawn on it: not every pixel is transparent.
  opaque=$(convert "$icon" -alpha extract -format '%[fx:maxima]' info: 2>&1)
  check "icon $size has a picture" 1 "$opaque"
done

# The player: not root, owning nothing of the installed tree.
chmod -R a-w "$WORK/prefix"
PLAYER=()
if [ "$(id -u)" -eq 0 ]; then
  PLAYER=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
  OWNER=nobody
else
  OWNER=$(id -un)
fi
mkdir -p "$WORK/state" "$WORK/home"
chown "$OWNER" "$WORK/state" "$WORK/home"

export SDL_AUDIODRIVER=dummy
start_x 1920x1080
# From a folder the player cannot write either.
(cd / && exec env HOME="$WORK/home" XDG_STATE_HOME="$WORK/state" "${PLAYER[@]}" "$PREFIX/games/voltigor") \
  >"$WORK/stdout" 2>"$WORK/stderr" &
GAME_PID=$!
WIN=$(find_window) || { echo "FAIL: the installed game opened no window"; cat "$WORK/stderr"; exit 1; }
LOG=$WORK/state/voltigor/Voltigor.log
# Once loading is over: Escape skips the title to the menu (or leaves a
# game), Escape again puts the cursor on QUIT, Return confirms.
for _ in $(seq 300); do grep -q '< Trace >2' "$LOG" 2>/dev/null && break; sleep 0.1; done
for i in $(seq 40); do
  kill -0 "$GAME_PID" 2>/dev/null || break
  focus_window "$WIN"
  [ $((i % 3)) -eq 0 ] && k=Return || k=Escape
  # Held for a few frames: screens read the key table once a frame.
  xdotool keydown "$k" 2>/dev/null; sleep 0.1; xdotool keyup "$k" 2>/dev/null
  sleep 0.4
done
# Still running: it is ended, and the test fails on its exit code.
kill -0 "$GAME_PID" 2>/dev/null && { echo "the game did not end on Escape"; kill -TERM "$GAME_PID"; }
wait "$GAME_PID"
check "the installed game's exit code" 0 $?
check "first line printed names the log" "Voltigor: the run log is $LOG" "$(head -1 "$WORK/stdout")"
grep -q 'Terminating Application' "$LOG" 2>/dev/null
check "the log is complete" 0 $?
grep -q 'Archive mounted read-only! (.*/lib/games/voltigor/Voltigor.mad4)' "$LOG"
check "the archive is read only" 0 $?
check "nothing written into the install folder" "" "$(find "$WORK/prefix" -newer "$WORK/install.log" -type f)"

# With neither HOME nor XDG_STATE_HOME the log has nowhere to go: the game
# says so once on standard error and plays on (a replay, without a window).
cp "$HERE/../app/replays/interim-zararoz.vrp" "$WORK/quick.vrp"
chmod 644 "$WORK/quick.vrp"
(cd / && exec env -u HOME -u XDG_STATE_HOME SDL_VIDEODRIVER=dummy "${PLAYER[@]}" "$PREFIX/games/voltigor" \
  -timedemo -replay "$WORK/quick.vrp") >"$WORK/stdout-nolog" 2>"$WORK/stderr-nolog"
check "the game without a place for its log plays on" 0 $?
check "no log is told once" 1 "$(grep -c '^Voltigor: no log could be written: .*neither XDG_STATE_HOME nor HOME is set' "$WORK/stderr-nolog")"

[ "$failures" -eq 0 ]
