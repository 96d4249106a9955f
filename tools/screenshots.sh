#!/usr/bin/env bash
# Takes the README's pictures of the tray lamp, the status dialog and the about box:
# starts Quorvel under Wine on a private Xvfb display and photographs its windows.
#   tools/screenshots.sh [BUILD_DIR]     (default build, with its Wine prefix made)
# ./dev.sh screenshots installs what this calls (ImageMagick, xdotool, Xvfb, Wine), builds
# the tree the tests use and its prefix, and runs this on it.
# Writes docs/images/tray-green.png, tray-tip.png, tray-red.png, status.png, about.png and
# menu-hotkeys.png (the menu with hotkeys set) at 96 DPI,
# status-contrast.png and menu-contrast.png in a high-contrast palette (the prefix's colours,
# put back when the script ends), and tray-red-144.png, status-144.png and about-144.png at 144 DPI. The same three at
# 120 and 192 DPI go to BUILD_DIR/screenshots, to look at when a layout changes. The
# scaling is the prefix's LogPixels, put back when the script ends; DPIS lists the
# scalings beside 96 (default "120 144 192").
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
OUT=$ROOT/docs/images
export WINEPREFIX=${WINEPREFIX:-$BUILD/wineprefix} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
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
DESKTOP_KEY='HKCU\Control Panel\Desktop'
COLORS_KEY='HKCU\Control Panel\Colors'
THEME_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager'
old_theme=$( (wine reg query "$THEME_KEY" /v ThemeActive 2>/dev/null || true) | awk '/ThemeActive/ { print $3 }' | tr -d '\r')
# The record folder is named like a character's, as the tip and notices show it.
mkdir "$work/Anna"
colors_saved=$work/colors.reg
wine reg export "$COLORS_KEY" "$(winepath -w "$colors_saved")" /y >/dev/null 2>&1 || rm -f "$colors_saved"
old_dpi=$( (wine reg query "$DESKTOP_KEY" /v LogPixels 2>/dev/null || true) | awk '/LogPixels/ { print $3 }' | tr -d '\r')

# Sets the scaling that Wine processes started from now on see.
set_dpi() {
  wine reg add "$DESKTOP_KEY" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}

# Puts back the prefix's own scaling.
restore_dpi() {
  if [ -n "$old_dpi" ]; then set_dpi $((old_dpi)); else wine reg delete "$DESKTOP_KEY" /v LogPixels /f >/dev/null 2>&1 || true; fi
}

# (Re)starts Wine's background processes, so that the desktop and its notification area
# take the scaling set last too.
start_wine() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w 2>/dev/null || true
  setsid wineserver -p </dev/null >/dev/null 2>&1 &
  wineboot >/dev/null 2>&1 || true
}

# A high-contrast palette, white on black, for Wine processes started from now on. As
# Windows does in high contrast, the visual style is switched off, so that controls are
# drawn in the palette's colours.
set_contrast() {
  local pair
  wine reg add "$THEME_KEY" /v ThemeActive /d 0 /f >/dev/null 2>&1
  for pair in ButtonFace=0,0,0 ButtonText=255,255,255 Window=0,0,0 WindowText=255,255,255 \
      Menu=0,0,0 MenuText=255,255,255 MenuBar=0,0,0 Hilight=26,235,255 HilightText=0,0,0 \
      MenuHilight=26,235,255 HotTrackingColor=255,255,0 GrayText=63,242,63 ActiveTitle=26,235,255 \
      TitleText=0,0,0 ButtonShadow=255,255,255 ButtonHilight=255,255,255 ButtonLight=0,0,0; do
    wine reg add "$COLORS_KEY" /v "${pair%%=*}" /d "$(echo "${pair#*=}" | tr , ' ')" /f >/dev/null 2>&1
  done
}

# Puts back the prefix's own colours and visual style.
restore_colors() {
  if [ -n "$old_theme" ]; then wine reg add "$THEME_KEY" /v ThemeActive /d "$old_theme" /f >/dev/null 2>&1
  else wine reg delete "$THEME_KEY" /v ThemeActive /f >/dev/null 2>&1 || true; fi
  wine reg delete "$COLORS_KEY" /f >/dev/null 2>&1 || true
  if [ -e "$colors_saved" ]; then wine reg import "$(winepath -w "$colors_saved")" >/dev/null 2>&1 || true; fi
}

cleanup() {
  restore_colors
  restore_dpi
  wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
sleep 1
set_dpi 96
start_wine

# The X window id of the mapped top-level window with this exact title, waiting up to
# two minutes for it to show (Wine can be slow to start a program).
window_id() {
  local id tries
  for tries in $(seq 120); do
    for id in $(xwininfo -root -tree | grep -F "\"$1\": (" | awk '{ print $1 }'); do
      xwininfo -id "$id" | grep -q 'IsViewable' && { sleep 1; echo "$id"; return 0; }
    done
    sleep 1
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

# Starts Quorvel in a directory holding the given settings file. PAUSE (seconds, 3 by
# default) is how long its start and its first due check may take.
start_quorvel() {
  printf '%s' "$1" > "$work/Anna/Quorvel.ini"
  (cd "$work/Anna" && exec wine "$BUILD/Quorvel.exe" >/dev/null 2>&1) &
  sleep "${PAUSE:-3}"
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

# The lamp's tip: the pointer is put on the lamp (the first icon, at the lower left of
# the notification area's window), and the screen around it photographed once the tip
# shows.
shoot_tip() {
  local id x y
  id=$(window_id 'Wine System Tray')
  eval "$(xdotool getwindowgeometry --shell "$id")"
  # A click first: Wine's notification area shows tips only while it is active.
  xdotool mousemove $((X + 12)) $((Y + HEIGHT - 12)) click 1
  sleep 0.5
  local step
  for step in 1 2 3 4 5; do xdotool mousemove_relative 1 0; sleep 0.2; done
  sleep 3
  import -window root -crop "360x140+$((X > 20 ? X - 20 : 0))+$((Y > 20 ? Y - 20 : 0))" "$1"
  xdotool mousemove 1000 700
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
shoot_tip "$OUT/tray-tip.png"
stop_quorvel

# The settings of the red-lamp pictures: the blacksmith counting down, the tailor due.
red_settings="[STATUS]
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

# Photographs the red lamp, the status dialog and the about box, the files named by
# the suffix given.
shoot_red() {
  start_quorvel "$red_settings"
  sleep 1
  shoot_tray "$1/tray-red$2.png"
  wine "$TOOL" post Quorvel Quorvel 32868 1 515 >/dev/null
  sleep 2
  shoot Quorvel "$1/status$2.png"
  wine "$TOOL" post '#32770' Quorvel 16 0 0 >/dev/null
  sleep 1
  wine "$TOOL" post Quorvel Quorvel 273 40002 0 >/dev/null
  sleep 2
  shoot 'about Quorvel' "$1/about$2.png"
  stop_quorvel
}

shoot_red "$OUT" ""

# The menu with the hotkeys of three items beside them, opened from the keyboard (the
# menu key's request, at the point 300, 300).
start_quorvel "$red_settings[HOTKEYS]
RECEIVED_SMITH = Ctrl+Alt+B
RECEIVED_TAILOR = Ctrl+Alt+T
STATUS = Win+Shift+F5
"
wine "$TOOL" post Quorvel Quorvel 32868 $((300 + 300 * 65536)) $((0x7B + 65536)) >/dev/null
sleep 2
import -window root -crop 290x162+15+143 "$OUT/menu-hotkeys.png"
wine "$TOOL" post '#32768' '' 256 27 0 >/dev/null
sleep 1
stop_quorvel

# The status dialog and the menu opened from the keyboard (the menu key's request, at
# the point 300, 300), in the high-contrast palette.
set_contrast
start_wine
start_quorvel "$red_settings"
wine "$TOOL" post Quorvel Quorvel 32868 $((300 + 300 * 65536)) $((0x7B + 65536)) >/dev/null
sleep 2
import -window root -crop 200x180+100+120 "$OUT/menu-contrast.png"
wine "$TOOL" post '#32768' '' 256 27 0 >/dev/null
sleep 1
wine "$TOOL" post Quorvel Quorvel 32868 $((300 + 300 * 65536)) $((0x401 + 65536)) >/dev/null
sleep 2
shoot Quorvel "$OUT/status-contrast.png"
stop_quorvel
restore_colors
start_wine
mkdir -p "$BUILD/screenshots"
for dpi in ${DPIS:-120 144 192}; do
  set_dpi "$dpi"
  start_wine
  if [ "$dpi" = 144 ]; then shoot_red "$OUT" "-$dpi"; else shoot_red "$BUILD/screenshots" "-$dpi"; fi
done
echo "pictures written to $OUT and $BUILD/screenshots"
