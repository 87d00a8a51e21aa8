#!/usr/bin/env bash
# The present log of scripts/measure.sh: the floor program runs 5 frames
# under the preloaded library with SDL's dummy video driver, and its log
# holds one start line, exactly one present per frame (a flip that updates
# rectangles or presents through SDL2 inside counts once), each returning
# after it was called and after the one before, and the first event poll
# between the first and second present.
#   present-log.sh BIN_DIR
set -euo pipefail
bin="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy VGR_PRESENT_LOG="$work/presents" \
  LD_PRELOAD="$bin/libvgrpresentlog.so" "$bin/vgrfloor" 5

awk '
  $1 == "init" { inits++; if (NF != 3) bad = "init line " NR }
  $1 == "P" {
    presents++
    if ($3 < $2) bad = "present " presents " returns before it was called"
    if ($3 <= last) bad = "present " presents " is not after the one before"
    last = $3
  }
  $1 == "poll" { polls++; pollAfter = presents }
  $1 != "init" && $1 != "P" && $1 != "poll" { bad = "unknown line " NR ": " $0 }
  END {
    if (bad == "" && inits != 1) bad = inits " start lines"
    if (bad == "" && presents != 5) bad = presents " presents for 5 frames"
    if (bad == "" && (polls != 1 || pollAfter != 1)) bad = polls " polls, the first after present " pollAfter
    if (bad != "") { print "FAIL: " bad; exit 1 }
    print "present log: 5 presents, poll after the first"
  }' "$work/presents"
