#!/usr/bin/env bash
# Builds, runs, tests and measures Quorvel on Debian: a MinGW cross-build run under Wine.
#   ./dev.sh build   build into build/ (leaves build/Quorvel.exe)
#   ./dev.sh run     build and start Quorvel under Wine (Xvfb only when there is no display)
#   ./dev.sh test    build and run the whole suite with ctest
#   ./dev.sh bench   start-up time, idle and dialog CPU and memory beside a bare Win32 program
#   ./dev.sh dist    make dist/Quorvel-<version>.zip with the exe and a short read-me,
#                    dist/Quorvel-<version>-setup.exe, the setup program, and
#                    dist/SHA256SUMS; the same commit gives the same bytes anywhere
# BUILD_DIR (default build) lets several builds live side by side; LONG_SOAK=1 makes
# the soak test run its long form.
#
# The program is 32-bit. Some virtual machines run a 64-bit kernel that executes no
# 32-bit code at all, and there 32-bit Wine cannot start. On such a machine test, run
# and bench build the same sources for 64-bit Windows into BUILD/x64 and run them under
# 64-bit Wine; build and dist still make the 32-bit program. QUORVEL_TEST_ARCH=i686 or
# x86_64 overrides the choice.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")" && pwd)
BUILD_DIR=${BUILD_DIR:-build}
case "$BUILD_DIR" in /*) BUILD=$BUILD_DIR ;; *) BUILD=$ROOT/$BUILD_DIR ;; esac
export WINEPREFIX=$BUILD/wineprefix
export WINEDEBUG=-all
export WINEARCH=win32
TEST_ARCH=i686
TBUILD=$BUILD
# No Mono or Gecko prompts when the prefix is made: the program needs neither. No menu
# builder either: shortcuts that the setup program makes in a prefix stay in the prefix.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"

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
  "xdotool:xdotool"
  "makensis:nsis"
)
NEEDED_TOOLS_X64=(
  "x86_64-w64-mingw32-g++-posix:g++-mingw-w64-x86-64-posix"
  "x86_64-w64-mingw32-windres:binutils-mingw-w64-x86-64"
)

# Decides which build the tests run: the 32-bit one where this machine runs 32-bit code,
# else the 64-bit one (see the top of this file).
detect_test_arch() {
  if [ -n "${QUORVEL_TEST_ARCH:-}" ]; then
    TEST_ARCH=$QUORVEL_TEST_ARCH
  elif command -v gcc >/dev/null 2>&1; then
    mkdir -p "$BUILD"
    if gcc -O1 -no-pie -o "$BUILD/cpu32" "$ROOT/tools/probe/cpu32.c" >/dev/null 2>&1 \
       && ! "$BUILD/cpu32"; then
      TEST_ARCH=x86_64
    fi
  fi
  if [ "$TEST_ARCH" = x86_64 ]; then
    say "this machine runs no 32-bit code: the tests use a 64-bit build under 64-bit Wine"
    TBUILD=$BUILD/x64
    export WINEPREFIX=$TBUILD/wineprefix
    export WINEARCH=win64
    # "wine" must mean 64-bit Wine here, whatever Debian's wrapper would pick.
    mkdir -p "$TBUILD/bin"
    printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' >"$TBUILD/bin/wine"
    printf '#!/bin/sh\nexec "$(dirname "$0")/wine" wineboot.exe "$@"\n' >"$TBUILD/bin/wineboot"
    chmod +x "$TBUILD/bin/wine" "$TBUILD/bin/wineboot"
    export PATH="$TBUILD/bin:$PATH"
  fi
}

# Installs what a fresh Debian machine lacks, saying what and why.
ensure_tools() {
  local missing=() pair
  for pair in "${NEEDED_TOOLS[@]}"; do
    command -v "${pair%%:*}" >/dev/null 2>&1 || missing+=("${pair##*:}")
  done
  [ -d /usr/src/googletest/googletest ] || missing+=(googletest)
  if [ "$TEST_ARCH" = x86_64 ]; then
    for pair in "${NEEDED_TOOLS_X64[@]}"; do
      command -v "${pair%%:*}" >/dev/null 2>&1 || missing+=("${pair##*:}")
    done
    [ -x /usr/lib/wine/wine64 ] || missing+=(wine64)
  else
    [ -e /usr/lib/i386-linux-gnu/wine ] || [ -e /usr/lib/wine/i386-windows ] || missing+=(wine32:i386)
  fi
  dpkg -s mingw-w64-tools >/dev/null 2>&1 || missing+=(mingw-w64-tools)
  [ ${#missing[@]} -eq 0 ] && return 0

  say "installing missing packages: ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null 2>&1 || die "not root and no sudo: install these packages by hand: ${missing[*]}"
    sudo="sudo"
  fi
  command -v apt-get >/dev/null 2>&1 || die "no apt-get: this script installs on Debian only; install: ${missing[*]}"
  if [ "$TEST_ARCH" = i686 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
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

# Configures (once) and builds one tree: DIR TOOLCHAIN [TARGET].
build_tree() {
  if [ ! -f "$1/build.ninja" ]; then
    say "configuring $1"
    cmake -S "$ROOT" -B "$1" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/$2.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null \
      || die "cmake configure failed"
  fi
  say "building $1${3:+ ($3)}"
  cmake --build "$1" ${3:+--target "$3"} || die "build failed"
  [ -f "$1/Quorvel.exe" ] || die "build did not leave $1/Quorvel.exe"
}

# The 32-bit program, and everything with it unless a target is named.
build() {
  ensure_tools
  build_tree "$BUILD" mingw-i686 "${1:-}"
  say "built $BUILD/Quorvel.exe"
}

# What the tests, run and bench use: the 32-bit build, or beside it the 64-bit one.
build_for_tests() {
  if [ "$TEST_ARCH" = x86_64 ]; then
    build Quorvel
    build_tree "$TBUILD" mingw-x86_64
  else
    build
  fi
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
  build_for_tests
  start_display
  export WINEPREFIX=${RUN_WINEPREFIX:-$WINEPREFIX}
  start_wine
  mkdir -p "$ROOT/run"
  say "starting Quorvel in $ROOT/run (its settings file lives there); Exit from its tray menu ends it"
  (cd "$ROOT/run" && wine "$TBUILD/Quorvel.exe") || true
  stop_all
}

cmd_test() {
  build_for_tests
  trap stop_all EXIT
  start_display force
  start_wine
  say "running the tests"
  local rc=0
  (cd "$TBUILD" && ctest --output-on-failure "$@") || rc=$?
  [ $rc -eq 0 ] && say "all tests passed" || say "tests failed"
  return $rc
}

cmd_bench() {
  build_for_tests
  trap stop_all EXIT
  start_display force
  start_wine
  "$ROOT/tools/bench.sh" "$TBUILD"
}

cmd_dist() {
  build
  "$ROOT/tools/dist.sh" "$BUILD" "$ROOT/dist"
}

detect_test_arch

case "${1:-}" in
  build) shift; cmd_build "$@" ;;
  run) shift; cmd_run "$@" ;;
  test) shift; cmd_test "$@" ;;
  bench) shift; cmd_bench "$@" ;;
  dist) shift; cmd_dist "$@" ;;
  *) echo "usage: ./dev.sh build|run|test|bench|dist"; exit 2 ;;
esac
