#!/usr/bin/env bash
# The browser build against the native one, in Debian's chromium, headless:
#  1. the whole-game replay (data/replays/game.vrp) played as a timedemo in
#     the page: exit code 0, every checksum agreeing, every map completed
#     with all lives and the completion screen reached;
#  2. the menu's first frame as the page shows it, against the native
#     golden picture tests/app/golden/menu-frame0.png.
# Builds what it needs first (scripts/web.sh --build-only).
#   scripts/web-test.sh [--replay FILE] [--bench]
# --replay plays another replay in step 1; --bench then plays it natively as
# a timedemo too and prints the browser's frame times against the native.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$PWD
REPLAY=data/replays/game.vrp
BENCH=0
while [ $# -gt 0 ]; do
  case "$1" in
    --replay) REPLAY=$2; shift ;;
    --bench) BENCH=1 ;;
    -h|--help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "web-test.sh: unknown argument $1" >&2; exit 2 ;;
  esac
  shift
done

./scripts/web.sh --build-only
SITE=$ROOT/build-web/site
TMP=$(mktemp -d)
SERVER=""
BROWSER=""
cleanup() {
  [ -n "$BROWSER" ] && kill -- -"$BROWSER" 2>/dev/null || true
  [ -n "$SERVER" ] && kill "$SERVER" 2>/dev/null || true
  rm -rf "$TMP"
}
trap cleanup EXIT

mkdir -p "$SITE/test"
cp "$REPLAY" "$SITE/test/replay.vrp"
python3 web/serve.py "$SITE" --results "$TMP" > "$TMP/server.txt" 2>&1 &
SERVER=$!
for _ in $(seq 50); do grep -q http "$TMP/server.txt" 2>/dev/null && break; sleep 0.1; done
URL=$(grep -o 'http://[^ ]*' "$TMP/server.txt")

# Opens URL?QUERY in a fresh headless chromium and waits up to LIMIT
# seconds for the page's result, which lands in $TMP/result.json.
run_page() {
  local query=$1 limit=$2
  rm -f "$TMP/result.json"
  rm -rf "$TMP/profile"
  setsid chromium --headless=new --no-sandbox --disable-gpu --mute-audio --no-first-run \
    --user-data-dir="$TMP/profile" --window-size=1300,900 "$URL?$query" > "$TMP/chromium.txt" 2>&1 &
  BROWSER=$!
  local waited=0
  while [ ! -f "$TMP/result.json" ] && [ $waited -lt "$limit" ]; do
    sleep 1
    waited=$((waited + 1))
  done
  kill -- -"$BROWSER" 2>/dev/null || true
  wait "$BROWSER" 2>/dev/null || true
  BROWSER=""
  if [ ! -f "$TMP/result.json" ]; then
    echo "web-test: no result from the page within $limit s" >&2
    tail -5 "$TMP/chromium.txt" >&2
    return 1
  fi
}

started=$(date +%s)
run_page "report=1&args=-timedemo+-replay+test/replay.vrp" 600
python3 - "$TMP/result.json" "$REPLAY" "$TMP/browser-timedemo.txt" <<'EOF'
import json, sys
r = json.load(open(sys.argv[1]))
log = r.get("log", "")
out = r.get("output", "")
faults = []
if r.get("error"):
    faults.append("the page failed: " + r["error"])
if r.get("code") != 0:
    faults.append(f"exit code {r.get('code')}")
if "Replay played to the end" not in log:
    faults.append("the replay did not play to its end")
for line in log.splitlines() + out.splitlines():
    if "Replay diverged" in line or "differs" in line:
        faults.append(line.strip())
if sys.argv[2].endswith("game.vrp"):
    if log.count("completed with 3 spare lives") != 49 or log.count("completed with") != 49:
        faults.append(f"{log.count('completed with 3 spare lives')} maps of 49 completed with all lives")
    if "Game ended on map 50 with 3 spare lives" not in log:
        faults.append("the completion screen was not reached")
timedemo = [l for l in out.splitlines() if l.startswith("Timedemo:")]
print("web-test: browser " + (timedemo[0] if timedemo else "(no timedemo line)"))
open(sys.argv[3], "w").write(timedemo[0] if timedemo else "")
# The page's clock stands in for the missing CPU clock: frames take time.
if timedemo and "whole frame: median 0.000 ms" in timedemo[0]:
    faults.append("the timedemo measured no time per frame")
if faults:
    print("web-test: FAILED the replay in the browser:\n  " + "\n  ".join(faults[:10]), file=sys.stderr)
    print("\n".join(out.splitlines()[-10:]), file=sys.stderr)
    sys.exit(1)
print("web-test: the replay played in the browser with every checksum agreeing")
EOF
echo "web-test: replay in $(( $(date +%s) - started )) s"

if [ "$BENCH" = 1 ]; then
  SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy build/bin/Voltigor -nolog -timedemo -replay "$REPLAY" |
    grep '^Timedemo:' > "$TMP/native-timedemo.txt"
  python3 - "$TMP/browser-timedemo.txt" "$TMP/native-timedemo.txt" <<'EOF'
import re, sys
def medians(path):
    line = open(path).read()
    m = re.findall(r"median ([0-9.]+) ms", line)
    return line.strip(), float(m[0]), float(m[1])
b, n = medians(sys.argv[1]), medians(sys.argv[2])
print("web-test: native  " + n[0])
ratio = lambda x, y: f"{x / y:.2f}" if y > 0 else "n/a"
print(f"web-test: browser/native per frame, median: work {ratio(b[1], n[1])}, whole frame {ratio(b[2], n[2])}")
EOF
fi

# The menu's first frame: 01.vrp skips the title with Escape at once;
# present 1 is the loading screen, present 2 the menu's first frame.
MENU_PRESENT=2
run_page "report=1&shot=$((MENU_PRESENT - 1)),$MENU_PRESENT&args=-timedemo+-replay+replays/01.vrp" 300
python3 - "$TMP/result.json" "$TMP" $((MENU_PRESENT - 1)) $MENU_PRESENT <<'EOF'
import base64, json, sys
r = json.load(open(sys.argv[1]))
for n in sys.argv[3:]:
    data = r.get("shots", {}).get(n)
    if not data:
        print(f"web-test: no picture of present {n}", file=sys.stderr)
        sys.exit(1)
    open(f"{sys.argv[2]}/shot-{n}.png", "wb").write(base64.b64decode(data.split(",", 1)[1]))
EOF
golden=tests/app/golden/menu-frame0.png
differing() { compare -metric AE "$golden" "$1" null: 2>&1 || true; }
first=$(differing "$TMP/shot-$MENU_PRESENT.png")
before=$(differing "$TMP/shot-$((MENU_PRESENT - 1)).png")
if [ "$first" != "0" ] || [ "$before" = "0" ]; then
  cp "$TMP/shot-$MENU_PRESENT.png" "$ROOT/build-web/menu-shot.png"
  echo "web-test: FAILED the menu: $first pixels differ from $golden (kept in build-web/menu-shot.png);" \
    "the frame before differs in $before" >&2
  exit 1
fi
echo "web-test: the menu's first frame in the browser equals $golden"
