#!/usr/bin/env bash
# Takes the README's pictures of the tray lamp, its tip, notice and menu, the status
# dialog and the about box: starts Quorvel under Wine on a private Xvfb display, in a
# desktop of the screen's size with a taskbar, and photographs what it shows.
#   tools/screenshots.sh [BUILD_DIR]     (default build, with its Wine prefix made)
# ./dev.sh screenshots installs what this calls (ImageMagick, xdotool, Wine's fonts, Xvfb,
# Wine), builds the tree the tests use and its prefix, and runs this on it.
# Writes to docs/images, at 96 DPI: tray-green.png, tray-tip.png and menu.png (the lamp
# in the taskbar's notification area, its tip, its menu opened from the keyboard),
# menu-hotkeys.png (the menu with hotkeys set for three of its items),
# tray-notice.png (the notice of a craft that comes due), tray-ahead.png (the notice
# ahead of one, with an [ALERT] section), tray-red.png, status.png and
# about.png; in a high-contrast palette: status-contrast.png and menu-contrast.png; at
# 144 DPI: tray-red-144.png, status-144.png and about-144.png. The same three at 120 and
# 192 DPI go to BUILD_DIR/screenshots, to look at when a layout changes; DPIS lists the
# scalings beside 96 (default "120 144 192").
# What it changes in the prefix it puts back when it ends, also when interrupted: the
# scaling (LogPixels), the colours and visual style, the desktop that Wine's programs
# start in, and the Marlett font that it lends the prefix's Fonts folder for the caption
# buttons.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
OUT=$ROOT/docs/images
export WINEPREFIX=${WINEPREFIX:-$BUILD/wineprefix} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
# A 64-bit test build (see dev.sh) brings its own "wine" that means 64-bit Wine.
if [ -x "$BUILD/bin/wine" ]; then export PATH="$BUILD/bin:$PATH" WINEARCH=win64; fi
mkdir -p "$OUT"

# Wine draws the caption buttons (close, minimise, ...) with the symbols of the Marlett
# font, and without it shows their code letters ("r" for the close box). Debian's
# fonts-wine has it, but this Wine does not look in that package's folder: it loads the
# fonts of the prefix's Fonts folder and those fontconfig knows, so the font is copied
# into the prefix for the pictures and removed again at the end.
MARLETT=$( (dpkg-query -L fonts-wine 2>/dev/null || true) | grep '/marlett\.ttf$' | head -n 1)
[ -n "$MARLETT" ] && [ -f "$MARLETT" ] || {
  echo "screenshots: no marlett.ttf: install Debian's fonts-wine (./dev.sh screenshots does)" >&2
  exit 1
}
FONTS_DIR=$WINEPREFIX/drive_c/windows/Fonts

cmake --build "$BUILD" --target Quorvel benchtool >/dev/null
TOOL=$BUILD/tools/bench/benchtool.exe

# The screen, and Wine's desktop of the same size. A desktop named "shell" has a taskbar
# with a notification area along its lower edge, as Windows does.
SCREEN_W=1280 SCREEN_H=1024
for n in $(seq 140 180); do [ -e "/tmp/.X$n-lock" ] || break; done
Xvfb ":$n" -screen 0 "${SCREEN_W}x${SCREEN_H}x24" -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$n"
work=$(mktemp -d)
DESKTOP_KEY='HKCU\Control Panel\Desktop'
COLORS_KEY='HKCU\Control Panel\Colors'
THEME_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager'
EXPLORER_KEY='HKCU\Software\Wine\Explorer'
old_theme=$( (wine reg query "$THEME_KEY" /v ThemeActive 2>/dev/null || true) | awk '/ThemeActive/ { print $3 }' | tr -d '\r')
# The record folder is named like a character's, as the tip and notices show it.
mkdir "$work/Anna"
colors_saved=$work/colors.reg
wine reg export "$COLORS_KEY" "$(winepath -w "$colors_saved")" /y >/dev/null 2>&1 || rm -f "$colors_saved"
explorer_saved=$work/explorer.reg
wine reg export "$EXPLORER_KEY" "$(winepath -w "$explorer_saved")" /y >/dev/null 2>&1 || rm -f "$explorer_saved"
old_dpi=$( (wine reg query "$DESKTOP_KEY" /v LogPixels 2>/dev/null || true) | awk '/LogPixels/ { print $3 }' | tr -d '\r')
lent_marlett=""

# Sets the scaling that Wine processes started from now on see.
set_dpi() {
  wine reg add "$DESKTOP_KEY" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}

# Puts back the prefix's own scaling.
restore_dpi() {
  if [ -n "$old_dpi" ]; then set_dpi $((old_dpi)); else wine reg delete "$DESKTOP_KEY" /v LogPixels /f >/dev/null 2>&1 || true; fi
}

# Puts every Wine process started from now on into the desktop with the taskbar, so that
# the tools that post to Quorvel's windows find them there.
set_desktop() {
  wine reg add "$EXPLORER_KEY" /v Desktop /d shell /f >/dev/null 2>&1
  wine reg add "$EXPLORER_KEY\Desktops" /v shell /d "${SCREEN_W}x${SCREEN_H}" /f >/dev/null 2>&1
}

# Puts back the prefix's own choice of desktop.
restore_desktop() {
  wine reg delete "$EXPLORER_KEY" /f >/dev/null 2>&1 || true
  if [ -e "$explorer_saved" ]; then wine reg import "$(winepath -w "$explorer_saved")" >/dev/null 2>&1 || true; fi
}

# Lends the prefix the Marlett font, unless it has a marlett.ttf of its own already.
lend_marlett() {
  local have
  mkdir -p "$FONTS_DIR"
  have=$(find "$FONTS_DIR" -maxdepth 1 -iname marlett.ttf -print -quit)
  [ -z "$have" ] || return 0
  cp "$MARLETT" "$FONTS_DIR/marlett.ttf"
  lent_marlett=$FONTS_DIR/marlett.ttf
}

# Takes back the font lent, once no Wine process holds it.
return_marlett() {
  if [ -n "$lent_marlett" ]; then rm -f "$lent_marlett"; lent_marlett=""; fi
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
  restore_desktop
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w 2>/dev/null || true
  return_marlett
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# An interrupted run puts the prefix back too.
trap 'exit 130' INT
trap 'exit 143' TERM
sleep 1
lend_marlett
set_desktop
set_dpi 96
start_wine

# The X window id of the mapped window with this exact title, waiting up to two minutes
# for it to show (Wine can be slow to start a program). Wine's desktop holds the
# program's windows as windows of its own.
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

# Finds the taskbar, the window of the desktop's whole width along its lower edge, waiting
# up to two minutes for it, and sets BAR (its height) and LAMP_X, LAMP_Y (the middle of the
# lamp). The notification area lays its icons out from the right end in squares of the
# taskbar's height; the lamp, Quorvel's only icon, takes the last one.
find_taskbar() {
  local tries
  for tries in $(seq 120); do
    # A window that goes while the tree is read fails the read: try again.
    BAR=$(xwininfo -root -tree 2>/dev/null | awk -v w="$SCREEN_W" -v h="$SCREEN_H" '
      $2 == "(has" && /"explorer.exe"/ {
        for (i = 1; i <= NF; i++) if (split($i, g, /[x+]/) == 4 && g[1] == w && g[3] == 0 && g[4] > 0 && g[4] + g[2] == h) { print g[2]; exit }
      }') || true
    if [ -n "$BAR" ]; then
      LAMP_X=$((SCREEN_W - BAR / 2)) LAMP_Y=$((SCREEN_H - BAR / 2))
      return 0
    fi
    sleep 1
  done
  echo "screenshots: the desktop shows no taskbar" >&2
  return 1
}

# The geometry "X Y W H" of a shown pop-up window of the given process (explorer.exe
# shows tips and notices, Quorvel its menu): a window without a title, larger than a
# point, other than the taskbar. Waits up to the given seconds (20 by default).
popup() {
  local tries=0 id geometry
  while :; do
    while read -r id geometry; do
      xwininfo -id "$id" | grep -q 'IsViewable' && { echo "$geometry"; return 0; }
    done < <(xwininfo -root -tree | awk -v p="\"$1\"" -v w="$SCREEN_W" '
      $2 == "(has" && index($0, p) {
        for (i = 1; i <= NF; i++) if (split($i, g, /[x+]/) == 4 && g[1] > 1 && g[2] > 1 && g[1] != w) {
          print $1, g[3], g[4], g[1], g[2]; break
        }
      }')
    [ $((tries += 1)) -le $((${2:-20} * 4)) ] || return 1
    sleep 0.25
  done
}

# Waits until the process shows no pop-up (a notice goes after about ten seconds).
no_popup() {
  local tries
  for tries in $(seq 60); do
    popup "$1" 0 >/dev/null || return 0
    sleep 1
  done
  echo "screenshots: a pop-up of $1 stays on the screen" >&2
  return 1
}

# The lamp in the taskbar: the right end of the taskbar and the desktop just above it,
# enlarged so that the lamp can be seen. The enlarged copy keeps no time stamp, so that
# the same picture gives the same file.
shoot_lamp() {
  import -window root -crop "$((8 * BAR))x$((2 * BAR))+$((SCREEN_W - 8 * BAR))+$((SCREEN_H - 2 * BAR))" +repage "$1"
  convert "$1" -scale 300% -strip "$1"
}

# The lamp with what it shows above it (a pop-up of the given process): the corner of
# the screen from a little left of and above the pop-up to the lamp.
shoot_popup() {
  local x y w h left top
  read -r x y w h < <(popup "$2") || { echo "screenshots: $2 shows nothing for '$1'" >&2; return 1; }
  sleep 0.5
  left=$((x - BAR / 2)) top=$((y - BAR / 2))
  [ "$left" -lt $((SCREEN_W - 8 * BAR)) ] || left=$((SCREEN_W - 8 * BAR))
  [ "$left" -ge 0 ] || left=0
  [ "$top" -ge 0 ] || top=0
  import -window root -crop "$((SCREEN_W - left))x$((SCREEN_H - top))+$left+$top" +repage "$1"
}

# Starts Quorvel in a directory holding the given settings file, and finds the taskbar.
# PAUSE (seconds, 3 by default) is how long its start and its first due check may take.
start_quorvel() {
  printf '%s' "$1" > "$work/Anna/Quorvel.ini"
  (cd "$work/Anna" && exec wine "$BUILD/Quorvel.exe" >/dev/null 2>&1) &
  find_taskbar
  sleep "${PAUSE:-3}"
}

stop_quorvel() {
  wine "$TOOL" post Quorvel Quorvel 16 0 0 >/dev/null || true
  sleep 1
}

# Posts what the shell sends when the menu key is pressed on the lamp (the menu's
# request, with the lamp as its anchor): Quorvel opens its menu beside the lamp, with the
# access keys underlined as a menu opened from the keyboard shows them.
open_menu() {
  wine "$TOOL" post Quorvel Quorvel 32868 $((LAMP_X + LAMP_Y * 65536)) $((0x7B + 65536)) >/dev/null
}

close_menu() {
  wine "$TOOL" post '#32768' '' 256 27 0 >/dev/null
  sleep 1
}

# The lamp's tip: the pointer rests on the lamp until the tip shows, then moves away.
shoot_tip() {
  xdotool mousemove "$LAMP_X" "$LAMP_Y"
  local step
  for step in 1 2 3; do xdotool mousemove_relative 1 0; sleep 0.2; done
  shoot_popup "$1" explorer.exe
  xdotool mousemove 0 0
  no_popup explorer.exe
}

now=$(date +%s)
# Green: the blacksmith counting down, the tailor not tracked (its menu items greyed).
green_settings="[SMITH]
AVAILABLE=1
SKILL=72.4
NEXT=$((now + 4321))
[TAILOR]
AVAILABLE=0
SKILL=50.0
NEXT=0
"
start_quorvel "$green_settings"
shoot_lamp "$OUT/tray-green.png"
shoot_tip "$OUT/tray-tip.png"
open_menu
shoot_popup "$OUT/menu.png" quorvel.exe
close_menu
stop_quorvel

# The menu with hotkeys set for three of its items, the tailor tracked too.
start_quorvel "${green_settings/AVAILABLE=0/AVAILABLE=1}[HOTKEYS]
RECEIVED_SMITH = Ctrl+Alt+B
RECEIVED_TAILOR = Ctrl+Alt+T
STATUS = Win+Shift+F5
"
open_menu
shoot_popup "$OUT/menu-hotkeys.png" quorvel.exe
close_menu
stop_quorvel

# The notice: the blacksmith comes due a few seconds after the start.
start_quorvel "[SMITH]
AVAILABLE=1
SKILL=72.4
NEXT=$(($(date +%s) + ${PAUSE:-3} + 3))
[TAILOR]
AVAILABLE=0
SKILL=50.0
NEXT=0
"
shoot_popup "$OUT/tray-notice.png" explorer.exe
stop_quorvel

# The notice ahead: AHEAD set, the blacksmith's order a little under five minutes away,
# so that the notice shows at the start.
start_quorvel "[SMITH]
AVAILABLE=1
SKILL=72.4
NEXT=$(($(date +%s) + 5 * 60 - 10))
[TAILOR]
AVAILABLE=0
SKILL=50.0
NEXT=0
[ALERT]
AHEAD = 5
"
shoot_popup "$OUT/tray-ahead.png" explorer.exe
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

# Starts Quorvel on the red settings and waits until the notice of the due tailor has
# shown and gone.
start_red() {
  start_quorvel "$red_settings"
  popup explorer.exe >/dev/null || true
  no_popup explorer.exe
}

# Photographs the red lamp, the status dialog and the about box, the files named by
# the suffix given.
shoot_red() {
  start_red
  shoot_lamp "$1/tray-red$2.png"
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

# The menu and the status dialog opened from the keyboard (the status dialog by the
# shell's request for Enter on the lamp), in the high-contrast palette.
set_contrast
start_wine
start_red
open_menu
shoot_popup "$OUT/menu-contrast.png" quorvel.exe
close_menu
wine "$TOOL" post Quorvel Quorvel 32868 $((LAMP_X + LAMP_Y * 65536)) $((0x401 + 65536)) >/dev/null
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
