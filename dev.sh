#!/usr/bin/env bash
# Builds, runs, tests and measures Quorvel on Debian: a MinGW cross-build run under Wine.
#   ./dev.sh build        build into build/ (leaves build/Quorvel.exe)
#   ./dev.sh run          build and start Quorvel under Wine (Xvfb only when there is no display)
#   ./dev.sh test         build and run the whole suite with ctest (arguments go to ctest)
#   ./dev.sh bench        start-up time, idle, busy-folder and dialog CPU and memory beside a bare Win32 program
#   ./dev.sh screenshots  build and take the README's pictures again (tools/screenshots.sh)
#   ./dev.sh dist         make dist/Quorvel-<version>.zip with the exe and a short read-me,
#                         dist/Quorvel-<version>-setup.exe, the setup program, dist/BUILDINFO,
#                         the winget manifest in dist/winget/ and dist/SHA256SUMS; the same
#                         commit gives the same bytes anywhere. Signed when QUORVEL_SIGN_PFX
#                         (a PKCS#12 key) and QUORVEL_SIGN_PASSWORD_FILE are set, time-stamped
#                         when QUORVEL_SIGN_TIMESTAMP_URL names an RFC 3161 server
# Each command first installs the Debian packages it needs and lacks, so a fresh machine
# needs nothing else. BUILD_DIR (default build) lets several builds live side by side;
# QUORVEL_SOAK_SECONDS and QUORVEL_FUZZ_FILES make the suite run its long forms.
#
# The program is 32-bit, and where the machine runs 32-bit code test, run, bench and
# screenshots use that build under 32-bit Wine. Some virtual machines run a 64-bit kernel
# that executes no 32-bit code at all, and there 32-bit Wine cannot start: a tiny 32-bit
# program tells, and on such a machine those commands build the same sources for 64-bit
# Windows into BUILD/x64 and run them under 64-bit Wine. build and dist always make the
# 32-bit program. QUORVEL_TEST_ARCH=i686 or x86_64 overrides the choice.
#
# Nothing half made is ever taken for finished: the Wine prefix is made under a temporary
# name and moved into place only once complete, and a prefix or build tree that lacks
# what this script puts there is remade.
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

# Says what the script is doing.
say() { printf '[dev.sh] %s\n' "$*"; }
# Stops the script with one line saying why.
die() { printf '[dev.sh] error: %s\n' "$*" >&2; exit 1; }

# ---------------------------------------------------------------- packages

# The Debian packages that provide what each step calls. A package is checked by its
# installed state, never by a command on the PATH, which a wrapper of ours could answer.
# Building: CMake and Ninja, the MinGW compiler and windres, the MinGW tools, makensis
# (the setup program) and the GoogleTest sources the suite builds with.
BUILD_PACKAGES=(cmake ninja-build g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  mingw-w64-tools nsis googletest)
# The 32-bit probe: as and ld.
PROBE_PACKAGES=(binutils)
# A private display and the check that it is up: Xvfb and xwininfo.
DISPLAY_PACKAGES=(xvfb x11-utils)
# 32-bit Wine: the commands wine, wineboot and wineserver, and the 32-bit loader.
WINE32_PACKAGES=(wine wine32:i386)
# 64-bit Wine (its loader and server, which the wrappers below call) and the 64-bit
# MinGW compiler for the 64-bit test build.
WINE64_PACKAGES=(wine64 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64)
# ./dev.sh dist: zip.
DIST_PACKAGES=(zip)
# Signing a release (./dev.sh dist with a key): osslsigncode, and openssl, which reads
# the key's certificate for BUILDINFO. The suite signs a release with a throwaway key and
# checks it with tools/verify-release.sh, which also takes the setup apart with 7-Zip.
SIGN_PACKAGES=(osslsigncode openssl)
VERIFY_PACKAGES=(osslsigncode openssl 7zip)
# tools/screenshots.sh: import and convert, xdotool, and Wine's own fonts (Marlett, whose
# symbols draw the caption buttons).
SCREENSHOT_PACKAGES=(imagemagick xdotool fonts-wine)
# The two-PC test: two Syncthing instances on loopback. Where the package cannot be
# installed, that test is skipped with a message and the rest of the suite runs.
SYNC_PACKAGES=(syncthing)

APT_UPDATED=""

# Whether a Debian package (name[:arch]) is installed and configured.
installed() {
  [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]
}

# Installs the named packages that are not installed, saying which and why.
ensure_packages() {
  local why=$1 missing=() pkg
  shift
  for pkg in "$@"; do installed "$pkg" || missing+=("$pkg"); done
  [ ${#missing[@]} -eq 0 ] && return 0

  say "installing for $why: ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null 2>&1 || die "not root and no sudo: install these packages by hand: ${missing[*]}"
    sudo="sudo"
  fi
  [ -x /usr/bin/apt-get ] || die "no apt-get: this script installs on Debian only; install: ${missing[*]}"
  case " ${missing[*]} " in *:i386*) add_i386 "$sudo" ;; esac
  if [ -z "$APT_UPDATED" ]; then
    say "apt-get update"
    $sudo apt-get update -q >/dev/null || die "apt-get update failed (no network to the package mirror?)"
    APT_UPDATED=1
  fi
  say "apt-get install (up to a few minutes on a fresh machine)"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends \
    "${missing[@]}" >/dev/null || die "apt-get install ${missing[*]} failed"
  for pkg in "${missing[@]}"; do installed "$pkg" || die "package $pkg is still not installed after apt-get install"; done
}

# Lets dpkg install i386 packages (32-bit Wine), once.
add_i386() {
  dpkg --print-foreign-architectures | grep -qx i386 && return 0
  say "adding the i386 architecture (32-bit Wine runs the 32-bit program)"
  $1 dpkg --add-architecture i386 || die "dpkg --add-architecture i386 failed"
  APT_UPDATED=""
}

# ---------------------------------------------------------------- which build the tests run

# Whether this machine runs 32-bit x86 code, which is exactly what 32-bit Wine needs: a
# tiny 32-bit program exits with 42 where it does, and dies or is refused where it does
# not. It is made afresh in a temporary folder, so no half-made probe is ever reused, and
# that folder lies in the build tree: where /tmp is mounted noexec, a probe there would
# fail and the tests would quietly run the 64-bit build.
runs_32bit_code() {
  ensure_packages "the 32-bit probe" "${PROBE_PACKAGES[@]}"
  local dir rc=0
  mkdir -p "$BUILD"
  dir=$(mktemp -d "$BUILD/probe.XXXXXX")
  printf '.globl _start\n_start:\n  movl $1, %%eax\n  movl $42, %%ebx\n  int $0x80\n' >"$dir/probe.s"
  as --32 -o "$dir/probe.o" "$dir/probe.s" && ld -m elf_i386 -o "$dir/probe" "$dir/probe.o" \
    || { rm -rf "$dir"; die "could not assemble the 32-bit probe (as --32, ld -m elf_i386)"; }
  (exec "$dir/probe") >/dev/null 2>&1 || rc=$?
  rm -rf "$dir"
  [ $rc -eq 42 ]
}

# Decides which build test, run, bench and screenshots use, and sets Wine up for it.
choose_test_arch() {
  if [ -n "${QUORVEL_TEST_ARCH:-}" ]; then
    TEST_ARCH=$QUORVEL_TEST_ARCH
    say "QUORVEL_TEST_ARCH=$TEST_ARCH chooses the $TEST_ARCH build for the tests"
  elif runs_32bit_code; then
    TEST_ARCH=i686
    say "this machine runs 32-bit code: the tests use the 32-bit build under 32-bit Wine"
  else
    TEST_ARCH=x86_64
    say "this machine runs no 32-bit code: the tests use a 64-bit build under 64-bit Wine"
  fi
  case "$TEST_ARCH" in
    i686) ;;
    x86_64) use_wine64 ;;
    *) die "QUORVEL_TEST_ARCH must be i686 or x86_64, not '$TEST_ARCH'" ;;
  esac
}

# Points wine, wineboot and wineserver at 64-bit Wine's own loader and server: Debian's
# commands would pick 32-bit Wine where it is installed, and come with another package.
use_wine64() {
  TBUILD=$BUILD/x64
  export WINEPREFIX=$TBUILD/wineprefix
  export WINEARCH=win64
  export WINELOADER=/usr/lib/wine/wine64
  export WINESERVER=/usr/lib/wine/wineserver64
  local bin=$TBUILD/bin tmp=$TBUILD/bin.tmp-$$
  rm -rf "$tmp"
  mkdir -p "$tmp"
  printf '#!/bin/sh\nexport WINELOADER=%s WINESERVER=%s\nexec %s "$@"\n' \
    "$WINELOADER" "$WINESERVER" "$WINELOADER" >"$tmp/wine"
  printf '#!/bin/sh\nexec "$(dirname "$0")/wine" wineboot.exe "$@"\n' >"$tmp/wineboot"
  printf '#!/bin/sh\nexec %s "$@"\n' "$WINESERVER" >"$tmp/wineserver"
  chmod +x "$tmp/wine" "$tmp/wineboot" "$tmp/wineserver"
  rm -rf "$bin"
  mv "$tmp" "$bin"
  export PATH="$bin:$PATH"
}

# Installs what test, run, bench and screenshots call, for the build chosen, in one go.
ensure_test_packages() {
  local wine=("${WINE32_PACKAGES[@]}")
  [ "$TEST_ARCH" = x86_64 ] && wine=("${WINE64_PACKAGES[@]}")
  # This script, bench.sh and screenshots.sh use awk, which any of several packages gives.
  local awk=()
  [ -x /usr/bin/awk ] || awk=(mawk)
  ensure_packages "building and running under $TEST_ARCH Wine" "${BUILD_PACKAGES[@]}" \
    "${DISPLAY_PACKAGES[@]}" "${wine[@]}" "${awk[@]}"
}

# ---------------------------------------------------------------- build

# Whether DIR was configured, to the end, from these sources with TOOLCHAIN and with
# makensis found (a tree configured before nsis was installed never builds the setup).
configured() {
  [ -f "$1/build.ninja" ] && [ -f "$1/CMakeCache.txt" ] \
    && [ "$(cache_value "$1" CMAKE_TOOLCHAIN_FILE)" = "$ROOT/cmake/$2.cmake" ] \
    && [ "$(cache_value "$1" CMAKE_HOME_DIRECTORY)" = "$ROOT" ] \
    && [ -x "$(cache_value "$1" MAKENSIS)" ]
}

# The value of one entry of DIR's CMake cache.
cache_value() { sed -n "s/^$2:[A-Z]*=//p" "$1/CMakeCache.txt"; }

# Configures (when needed) and builds one tree: DIR TOOLCHAIN [TARGET].
build_tree() {
  if ! configured "$1" "$2"; then
    if [ -f "$1/CMakeCache.txt" ]; then
      say "$1 was configured for another toolchain or source folder, or not to the end: configuring it afresh"
      rm -rf "$1/CMakeCache.txt" "$1/CMakeFiles" "$1/build.ninja"
    fi
    say "configuring $1 ($2)"
    cmake -S "$ROOT" -B "$1" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/$2.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null \
      || die "cmake configure of $1 failed"
  fi
  say "building $1${3:+ ($3)}"
  cmake --build "$1" ${3:+--target "$3"} || die "build failed"
  [ -f "$1/Quorvel.exe" ] || die "build did not leave $1/Quorvel.exe"
}

# The 32-bit program, and everything with it unless a target is named.
build() {
  ensure_packages "building" "${BUILD_PACKAGES[@]}"
  build_tree "$BUILD" mingw-i686 "${1:-}"
  say "built $BUILD/Quorvel.exe"
}

# What the tests, run and bench use: the 32-bit build, or beside it the 64-bit one.
build_for_tests() {
  ensure_test_packages
  if [ "$TEST_ARCH" = x86_64 ]; then
    build Quorvel
    build_tree "$TBUILD" mingw-x86_64
  else
    build
  fi
}

# Gives ctest's time limits the generated-file count and soak length asked for in the
# environment (QUORVEL_FUZZ_FILES, QUORVEL_SOAK_SECONDS), so that a long form is not cut short.
set_test_lengths() {
  local files=${QUORVEL_FUZZ_FILES:-600} soak=${QUORVEL_SOAK_SECONDS:-20}
  [ "$(cache_value "$TBUILD" QUORVEL_FUZZ_FILES)" = "$files" ] \
    && [ "$(cache_value "$TBUILD" QUORVEL_SOAK_SECONDS)" = "$soak" ] && return 0
  say "allowing ctest time for $files generated files and a $soak s soak"
  cmake "$TBUILD" -DQUORVEL_FUZZ_FILES="$files" -DQUORVEL_SOAK_SECONDS="$soak" >/dev/null \
    || die "cmake could not set the test lengths in $TBUILD"
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
  mkdir -p "$BUILD"
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$BUILD/xvfb.log" 2>&1 &
  STARTED_XVFB=$!
  export DISPLAY=":$n"
  local i
  for i in $(seq 50); do
    xwininfo -root >/dev/null 2>&1 && return 0
    kill -0 "$STARTED_XVFB" 2>/dev/null || break
    sleep 0.1
  done
  die "Xvfb did not start on :$n ($(tail -n 1 "$BUILD/xvfb.log")): see $BUILD/xvfb.log; a stale /tmp/.X$n-lock or an unwritable /tmp/.X11-unix is the usual cause"
}

# Whether PREFIX is a finished prefix: both hives there, and the X11 driver's keys in
# user.reg (Wine writes the hives when its server ends).
prefix_complete() {
  [ -f "$1/system.reg" ] && [ -f "$1/user.reg" ] && awk '
    /^\[/ { inside = ($0 ~ /^\[Software\\\\Wine\\\\X11 Driver\]/) }
    inside && $0 == "\"Managed\"=\"N\"" { managed = 1 }
    inside && $0 == "\"Decorated\"=\"N\"" { decorated = 1 }
    END { exit !(managed && decorated) }' "$1/user.reg"
}

# Removes a prefix folder, first ending any Wine processes of ours still running in it.
remove_prefix() {
  WINEPREFIX=$1 timeout --foreground 20 wineserver -k >/dev/null 2>&1 || true
  rm -rf "$1"
}

# Makes the Wine prefix under a temporary name and moves it into place once wineboot
# and the settings in it are done and checked: a run stopped at any moment leaves either
# no prefix or a finished one.
make_prefix() {
  local tmp=$WINEPREFIX.tmp-$$ old
  for old in "$WINEPREFIX".tmp-*; do
    [ -e "$old" ] || continue
    kill -0 "${old##*.tmp-}" 2>/dev/null && continue
    say "removing $old, left by an interrupted run"
    remove_prefix "$old"
  done
  say "creating the Wine prefix $WINEPREFIX (once, about 10 to 30 s)"
  mkdir -p "$tmp"
  WINEPREFIX=$tmp timeout --foreground 180 wineboot -i >"$BUILD/wineboot.log" 2>&1 \
    || die "wineboot failed or hung in $tmp ($(tail -n 1 "$BUILD/wineboot.log")): see $BUILD/wineboot.log"
  # Without a window manager, let Wine draw its own captions and close boxes; without
  # these keys it also waits 2 s every time it hides a window.
  local value
  for value in Managed Decorated; do
    WINEPREFIX=$tmp timeout --foreground 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v $value /d N /f >/dev/null 2>&1 \
      || die "could not write the X11 driver's $value key into $tmp"
  done
  WINEPREFIX=$tmp timeout --foreground 60 wineserver -w || die "the Wine server of $tmp did not end"
  prefix_complete "$tmp" || die "$tmp lacks the X11 driver keys after set-up: remove $BUILD and run again"
  [ ! -e "$WINEPREFIX" ] || remove_prefix "$WINEPREFIX"
  mv "$tmp" "$WINEPREFIX"
}

# Makes sure the prefix is finished, remaking one that an interrupted run left behind.
ensure_prefix() {
  if [ -e "$WINEPREFIX" ] && ! prefix_complete "$WINEPREFIX"; then
    say "the Wine prefix $WINEPREFIX is incomplete (set-up interrupted?): removing and making it again"
    remove_prefix "$WINEPREFIX"
  fi
  [ -e "$WINEPREFIX" ] || make_prefix
}

# Keeps one wineserver running for the session and starts Wine's background services,
# stopping within seconds with the cause when Wine cannot start.
start_wine() {
  ensure_prefix
  # The server puts itself in the background; status 2 means one already serves this
  # prefix (left by an interrupted run), which does as well.
  local rc=0
  timeout --foreground 30 wineserver -p </dev/null >"$BUILD/wineserver.log" 2>&1 || rc=$?
  STARTED_WINESERVER=1
  if [ $rc -ne 0 ] && [ $rc -ne 2 ]; then
    die "the Wine server did not start (status $rc, $(tail -n 1 "$BUILD/wineserver.log")): check that Wine runs here (wineserver -p with WINEPREFIX=$WINEPREFIX)"
  fi
  # The first Wine process starts Wine's background services, which inherit its output:
  # start them here with no output, so that ctest's pipes close when each test ends.
  timeout --foreground 120 wineboot >/dev/null 2>&1 </dev/null \
    || die "Wine did not start in $WINEPREFIX within 2 minutes: remove the prefix and run again"
}

# Ends what this script started.
stop_all() {
  if [ -n "$STARTED_WINESERVER" ]; then timeout --foreground 20 wineserver -k >/dev/null 2>&1 || true; fi
  if [ -n "$STARTED_XVFB" ]; then kill "$STARTED_XVFB" >/dev/null 2>&1 || true; fi
}

# ---------------------------------------------------------------- commands

# Builds the 32-bit program, its setup program and the tests.
cmd_build() { build; }

# Starts Quorvel under Wine with its settings file in run/.
cmd_run() {
  choose_test_arch
  build_for_tests
  start_display
  export WINEPREFIX=${RUN_WINEPREFIX:-$WINEPREFIX}
  start_wine
  mkdir -p "$ROOT/run"
  say "starting Quorvel in $ROOT/run (its settings file lives there); Exit from its tray menu ends it"
  (cd "$ROOT/run" && wine "$TBUILD/Quorvel.exe") || true
  stop_all
}

# Runs the suite on a private display, passing the arguments to ctest.
cmd_test() {
  choose_test_arch
  build_for_tests
  ensure_packages "the signed release test" "${VERIFY_PACKAGES[@]}"
  (ensure_packages "the two-PC test" "${SYNC_PACKAGES[@]}") \
    || say "syncthing could not be installed: the two-PC test will be skipped"
  set_test_lengths
  trap stop_all EXIT
  start_display force
  start_wine
  say "running the tests"
  local rc=0
  (cd "$TBUILD" && ctest --output-on-failure "$@") || rc=$?
  [ $rc -eq 0 ] && say "all tests passed" || say "tests failed"
  return $rc
}

# Measures Quorvel beside a bare tray program (tools/bench.sh).
cmd_bench() {
  choose_test_arch
  build_for_tests
  trap stop_all EXIT
  start_display force
  start_wine
  "$ROOT/tools/bench.sh" "$TBUILD"
}

# Takes the README's pictures again (tools/screenshots.sh, which starts its own display).
cmd_screenshots() {
  choose_test_arch
  build_for_tests
  ensure_packages "the screenshots" "${SCREENSHOT_PACKAGES[@]}"
  ensure_prefix
  "$ROOT/tools/screenshots.sh" "$TBUILD"
}

# Makes the release of the 32-bit build: the zip, the setup program, BUILDINFO, the winget
# manifest and SHA256SUMS; only the program and its setup are built, not the tests.
cmd_dist() {
  build setup
  ensure_packages "the zip" "${DIST_PACKAGES[@]}"
  [ -z "${QUORVEL_SIGN_PFX:-}" ] || ensure_packages "signing" "${SIGN_PACKAGES[@]}"
  "$ROOT/tools/dist.sh" "$BUILD" "$ROOT/dist"
}

case "${1:-}" in
  build) shift; cmd_build "$@" ;;
  run) shift; cmd_run "$@" ;;
  test) shift; cmd_test "$@" ;;
  bench) shift; cmd_bench "$@" ;;
  screenshots) shift; cmd_screenshots "$@" ;;
  dist) shift; cmd_dist "$@" ;;
  *) echo "usage: ./dev.sh build|run|test|bench|screenshots|dist"; exit 2 ;;
esac
