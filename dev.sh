#!/usr/bin/env bash
# Builds, runs, tests and measures Quorvel on Debian: a MinGW cross-build run under Wine.
#   ./dev.sh build   build into build/ (leaves build/Quorvel.exe)
#   ./dev.sh run     build and start Quorvel under Wine (Xvfb only when there is no display)
#   ./dev.sh test    build and run the whole suite with ctest
#   ./dev.sh bench   start-up time, idle and dialog CPU and memory beside a bare Win32 program
#   ./dev.sh dist    make dist/Quorvel-<version>.zip with the exe and a short read-me
# BUILD_DIR (default build) lets several builds live side by side; LONG_SOAK=1 makes
# the soak test run its long form.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")" && pwd)
BUILD_DIR=${BUILD_DIR:-build}
case "$BUILD_DIR" in /*) BUILD=$BUILD_DIR ;; *) BUILD=$ROOT/$BUILD_DIR ;; esac
export WINEPREFIX=$BUILD/wineprefix
export WINEDEBUG=-all
export WINEARCH=win32
# No Mono or Gecko prompts when the prefix is made: the program needs neither.
export WINEDLLOVERRIDES="mscoree=;mshtml="

say() { printf '[dev.sh] %s\n' "$*"; }
die() { printf '[dev.sh] error: %s\n' "$*" >&2; exit 1; }

# ---------------------------------------------------------------- tools

# Debian packages that provide each command this script needs.
NEEDED_TOOLS=(
  "i686-w64-mingw32-g++-posix:g++-mingw-w64-i686-posix"
  "i686-w64-mingw32-windres:binutils-mingw-w64-i686"
  "cmake:cmake"
  "ninja:ninja-build"
  "wine:wine"
  "Xvfb:xvfb"
  "xauth:xauth"
  "xwininfo:x11-utils"
  "import:imagemagick"
  "zip:zip"
)

# Installs what a fresh Debian machine lacks, saying what and why.
ensure_tools() {
  local missing=() pair
  for pair in "${NEEDED_TOOLS[@]}"; do
    command -v "${pair%%:*}" >/dev/null 2>&1 || missing+=("${pair##*:}")
  done
  [ -d /usr/src/googletest/googletest ] || missing+=(googletest)
  [ -e /usr/lib/i386-linux-gnu/wine ] || [ -e /usr/lib/wine/i386-windows ] || missing+=(wine32:i386)
  dpkg -s mingw-w64-tools >/dev/null 2>&1 || missing+=(mingw-w64-tools)
  [ ${#missing[@]} -eq 0 ] && return 0

  say "installing missing packages: ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null 2>&1 || die "not root and no sudo: install these packages by hand: ${missing[*]}"
    sudo="sudo"
  fi
  command -v apt-get >/dev/null 2>&1 || die "no apt-get: this script installs on Debian only; install: ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    say "adding the i386 architecture (wine32 runs the 32-bit program)"
    $sudo dpkg --add-architecture i386 || die "dpkg --add-architecture i386 failed"
  fi
  say "apt-get update"
  $sudo apt-get update -q >/dev/null || die "apt-get update failed (no network to the package mirror?)"
  say "apt-get install (about a minute on a fresh machine)"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends \
    "${missing[@]}" >/dev/null || die "apt-get install ${missing[*]} failed"
}

# ---------------------------------------------------------------- build

build() {
  ensure_tools
  if [ ! -f "$BUILD/build.ninja" ]; then
    say "configuring $BUILD"
    cmake -S "$ROOT" -B "$BUILD" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null \
      || die "cmake configure failed"
  fi
  say "building"
  cmake --build "$BUILD" || die "build failed"
  [ -f "$BUILD/Quorvel.exe" ] || die "build did not leave $BUILD/Quorvel.exe"
  say "built $BUILD/Quorvel.exe"
}

# ---------------------------------------------------------------- display and wine

STARTED_XVFB=""
STARTED_WINESERVER=""

# Starts Xvfb on a free display when there is no display (or when forced).
start_display() {
  if [ -n "${DISPLAY:-}" ] && [ "${1:-}" != force ]; then return 0; fi
  local n
  for n in $(seq 90 130); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
  done
  say "starting Xvfb on :$n"
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  STARTED_XVFB=$!
  export DISPLAY=":$n"
  local i
  for i in $(seq 50); do
    xwininfo -root >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  die "Xvfb did not start on :$n"
}

# Makes the private Wine prefix once, and keeps one wineserver running for the session.
start_wine() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    say "creating the Wine prefix $WINEPREFIX (once, about 10 s)"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || die "wineboot failed in $WINEPREFIX"
    wineserver -w
    # Without a window manager, let Wine draw its own captions and close boxes.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
    wineserver -w
  fi
  setsid wineserver -p </dev/null >/dev/null 2>&1 &
  STARTED_WINESERVER=1
  # The first Wine process starts Wine's background services, which inherit its output:
  # start them here with no output, so that ctest's pipes close when each test ends.
  wineboot >/dev/null 2>&1 </dev/null || true
}

# Ends what this script started.
stop_all() {
  if [ -n "$STARTED_WINESERVER" ]; then wineserver -k >/dev/null 2>&1 || true; fi
  if [ -n "$STARTED_XVFB" ]; then kill "$STARTED_XVFB" >/dev/null 2>&1 || true; fi
}

# ---------------------------------------------------------------- commands

cmd_build() { build; }

cmd_run() {
  build
  start_display
  export WINEPREFIX=${RUN_WINEPREFIX:-$BUILD/wineprefix}
  start_wine
  mkdir -p "$ROOT/run"
  say "starting Quorvel in $ROOT/run (its settings file lives there); Exit from its tray menu ends it"
  (cd "$ROOT/run" && wine "$BUILD/Quorvel.exe") || true
  stop_all
}

cmd_test() {
  build
  trap stop_all EXIT
  start_display force
  start_wine
  say "running the tests"
  local rc=0
  (cd "$BUILD" && ctest --output-on-failure "$@") || rc=$?
  [ $rc -eq 0 ] && say "all tests passed" || say "tests failed"
  return $rc
}

cmd_bench() {
  build
  trap stop_all EXIT
  start_display force
  start_wine
  "$ROOT/tools/bench.sh" "$BUILD"
}

cmd_dist() {
  build
  "$ROOT/tools/dist.sh" "$BUILD" "$ROOT/dist"
}

case "${1:-}" in
  build) shift; cmd_build "$@" ;;
  run) shift; cmd_run "$@" ;;
  test) shift; cmd_test "$@" ;;
  bench) shift; cmd_bench "$@" ;;
  dist) shift; cmd_dist "$@" ;;
  *) echo "usage: ./dev.sh build|run|test|bench|dist"; exit 2 ;;
esac
