#!/usr/bin/env bash
# Takes the README's pictures of the tray lamp, the status dialog and the about box:
# starts Quorvel under Wine on a private Xvfb display and photographs its windows.
#   tools/screenshots.sh [BUILD_DIR]     (default build; run ./dev.sh build first)
# Writes docs/images/tray-green.png, tray-red.png, status.png and about.png.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
OUT=$ROOT/docs/images
export WINEPREFIX=$BUILD/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
# A 64-bit test build (see dev.sh) brings its own "wine" that means 64-bit Wine.
if [ -x "$BUILD/bin/wine" ]; then export PATH="$BUILD/bin:$PATH" WINEARCH=win64; fi
mkdir -p "$OUT"

cmake --build "$BUILD" --target Quorvel benchtool >/dev/null
TOOL=$BUILD/tools/bench/benchtool.exe

for n in $(seq 140 180); do [ -e "/tmp/.X$n-lock" ] || break; done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$n"
work=$(mktemp -d)
cleanup() { wineserver -k >/dev/null 2>&1 || true; kill "$xvfb" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
sleep 1
setsid wineserver -p </dev/null >/dev/null 2>&1 &
wineboot >/dev/null 2>&1 || true

# The X window id of the mapped top-level window with this exact title.
window_id() {
  local id
  for id in $(xwininfo -root -tree | grep -F "\"$1\": (" | awk '{ print $1 }'); do
    xwininfo -id "$id" | grep -q 'IsViewable' && { echo "$id"; return 0; }
  done
  echo "screenshots: no window titled '$1' is showing" >&2
  return 1
}

# Photographs one window into a file.
shoot() {
  local id
  id=$(window_id "$1")
  import -window "$id" "$2"
}

# Starts Quorvel in a directory holding the given settings file.
start_quorvel() {
  printf '%s' "$1" > "$work/Quorvel.ini"
  (cd "$work" && exec wine "$BUILD/Quorvel.exe" >/dev/null 2>&1) &
  sleep 3
}

stop_quorvel() {
  wine "$TOOL" post Quorvel Quorvel 16 0 0 >/dev/null || true
  sleep 1
}

# The notification area, enlarged so that the lamp can be seen.
shoot_tray() {
  shoot 'Wine System Tray' "$1"
  convert "$1" -scale 300% "$1"
}

now=$(date +%s)
start_quorvel "[SMITH]
AVAILABLE=1
SKILL=72.4
NEXT=$((now + 4321))
[TAILOR]
AVAILABLE=0
SKILL=50.0
NEXT=0
"
shoot_tray "$OUT/tray-green.png"
stop_quorvel

start_quorvel "[STATUS]
X=40
Y=40
[SMITH]
AVAILABLE=1
SKILL=72.4
NEXT=$((now + 4321))
[TAILOR]
AVAILABLE=1
SKILL=49.9
NEXT=$((now - 600))
"
sleep 1
shoot_tray "$OUT/tray-red.png"
wine "$TOOL" post Quorvel Quorvel 32868 1 515 >/dev/null
sleep 2
shoot Quorvel "$OUT/status.png"
wine "$TOOL" post '#32770' Quorvel 16 0 0 >/dev/null
sleep 1
wine "$TOOL" post Quorvel Quorvel 273 40002 0 >/dev/null
sleep 2
shoot 'about Quorvel' "$OUT/about.png"
stop_quorvel
echo "pictures written to $OUT"
