#!/usr/bin/env bash
# Packs a built Quorvel.exe and a short plain-text read-me into OUTDIR/Quorvel-<version>.zip,
# puts the setup program beside it as Quorvel-<version>-setup.exe, writes OUTDIR/BUILDINFO
# (the commit, its time, the versions of the Debian packages that shape the bytes, and
# who signed them), the winget manifest into OUTDIR/winget/ (tools/winget.sh), and the
# checksums of them all to OUTDIR/SHA256SUMS (the form `sha256sum -c` reads).
#   tools/dist.sh BUILD_DIR OUTDIR
# The version is the project's, as the build directory's CMake cache holds it, and so is
# the address the release is published at.
# The zip is the same bytes for the same commit wherever and whenever it is made: its
# entries carry the commit's time (SOURCE_DATE_EPOCH, when set, else the time of the
# checkout's last commit), fixed permissions, a fixed order and no owner.
#
# With QUORVEL_SIGN_PFX and QUORVEL_SIGN_PASSWORD_FILE set (and QUORVEL_SIGN_TIMESTAMP_URL
# when wanted), tools/sign.sh signs Quorvel.exe before it goes into the zip and the setup,
# the uninstaller while makensis makes the setup around it, and the setup last. Everything
# is made in a scratch folder and copied into OUTDIR only when all of it is done, so a
# key that cannot be used leaves OUTDIR as it was.
set -euo pipefail

say() { printf '[dist] %s\n' "$*"; }
die() { printf '[dist] error: %s\n' "$*" >&2; exit 1; }

[ $# -eq 2 ] || die "usage: tools/dist.sh BUILD_DIR OUTDIR"
BUILD=$1
EXE=$BUILD/Quorvel.exe
[ -f "$EXE" ] || die "no $EXE: build first (./dev.sh build)"
VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt" 2>/dev/null)
[ -n "$VERSION" ] || die "no project version in $BUILD/CMakeCache.txt"
SETUP=$BUILD/Quorvel-$VERSION-setup.exe
[ -f "$SETUP" ] || die "no $SETUP: the build makes it when makensis (Debian package nsis) is installed; install it, delete $BUILD and build again"
[ "$SETUP" -nt "$EXE" ] || die "$SETUP is older than $EXE: build again"
command -v zip >/dev/null 2>&1 || die "zip is missing (apt-get install zip)"
RELEASE_URL=$(sed -n 's/^QUORVEL_RELEASE_URL:INTERNAL=//p' "$BUILD/CMakeCache.txt")
[ -n "$RELEASE_URL" ] || die "no release address in $BUILD/CMakeCache.txt: build again"
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$(dirname "$0")" log -1 --format=%ct 2>/dev/null) \
    || die "not a git checkout: set SOURCE_DATE_EPOCH to the release's time (seconds since 1970)"
fi
SOURCE=$(cd "$(dirname "$0")/.." && pwd)
# The Debian packages whose versions decide the bytes: the compiler, its runtime and the
# MinGW runtime linked in, the linker and windres, makensis and its stubs, zip, and the
# build tools.
SHAPING_PACKAGES=(g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
  gcc-mingw-w64-i686-posix-runtime gcc-mingw-w64-base binutils-mingw-w64-i686
  mingw-w64-i686-dev mingw-w64-common nsis nsis-common zip cmake ninja-build)
mkdir -p "$2"
OUT=$(cd "$2" && pwd)
STAGE=$(mktemp -d)
trap 'rm -rf "$STAGE"' EXIT
RELEASE=$STAGE/release
mkdir "$RELEASE"
ZIP=$RELEASE/Quorvel-$VERSION.zip
SIGNING=""
[ -z "${QUORVEL_SIGN_PFX:-}" ] || SIGNING=1

# The read-me, written with Unix line ends here and given Windows ones below.
readme() {
  cat <<TEXT
Quorvel $VERSION
============

Quorvel is a small Windows notification-area (tray) utility for crafters in online
role-playing games. A crafting character may collect one bulk order deed (BOD) per
waiting period, and the period grows with the craft's skill. Quorvel keeps one
countdown for the blacksmith and one for the tailor: tell it when you collected an
order, and when the next one is due its tray lamp turns from green to red with a
single beep.

Starting it
-----------
The setup program, Quorvel-$VERSION-setup.exe, installs Quorvel for you with its
shortcuts. This zip is the portable way: unpack Quorvel.exe into a folder of its own
and double-click it (or make a shortcut to it, for instance in the Startup folder). It
needs no installation and shows no window: look for the green lamp in the notification
area, next to the clock.

Settings file
-------------
Quorvel keeps everything it knows in Quorvel.ini, in the folder it was started from
(for a shortcut, its "Start in" folder). The file is made at the first save and
written again after every received order, when the status window closes and when
Quorvel exits. To start afresh, exit Quorvel and delete the file.

Using it
--------
Double-click the lamp to open the status window: the current time and, for each
craft, whether it is tracked, when its next order can be collected, how long that
is from now, and its skill, which the arrows beside it move by 0.1.

Right-click the lamp for the menu:
  Status...                 open the status window
  Received Blacksmith BOD   start the blacksmith's countdown from now
  Received Tailor BOD       start the tailor's countdown from now
  Upskill Blacksmith        raise the blacksmith's skill by 0.1
  Upskill Tailor            raise the tailor's skill by 0.1
  About...                  version and copyright
  Exit                      save and quit
The craft items are greyed until the craft is ticked in the status window.

Waiting time by skill
---------------------
  Skill            Next order after
  0.0 to 50.0      1 hour
  50.1 to 69.9     2 hours
  70.0 to 120.0    6 hours
The waiting time is fixed when you receive an order; raising the skill later does
not move a countdown already running.

Copyright (C) 2026 the Quorvel authors
TEXT
}

# What someone rebuilding needs to get the same bytes: the same commit and time, and
# these package versions (another Debian release brings others, and other checksums).
buildinfo() {
  local commit pkg version
  commit=$(git -C "$SOURCE" rev-parse HEAD 2>/dev/null) || commit=unknown
  [ -z "$(git -C "$SOURCE" status --porcelain --untracked-files=no 2>/dev/null)" ] \
    || commit="$commit with uncommitted changes"
  printf 'Quorvel %s\n' "$VERSION"
  printf 'commit %s\n' "$commit"
  printf 'SOURCE_DATE_EPOCH %s\n' "$SOURCE_DATE_EPOCH"
  for pkg in "${SHAPING_PACKAGES[@]}"; do
    version=$(dpkg-query -W -f='${Version}' "$pkg" 2>/dev/null) && [ -n "$version" ] \
      || die "no installed version of the Debian package $pkg, which shapes the release"
    printf '%s %s\n' "$pkg" "$version"
  done
  if [ -n "$SIGNING" ]; then
    printf 'signed yes, with osslsigncode %s\n' "$(dpkg-query -W -f='${Version}' osslsigncode 2>/dev/null || echo unknown)"
    printf 'signer SHA-256 %s\n' "$(openssl x509 -noout -fingerprint -sha256 <"$STAGE/signer.pem" | sed 's/^[^=]*=//')"
    printf 'signer subject %s\n' "$(openssl x509 -noout -subject -nameopt RFC2253 <"$STAGE/signer.pem" | sed 's/^subject=//')"
  else
    printf 'signed no\n'
  fi
}

# Writes the certificate of the signing key to STAGE/signer.pem, stopping with the cause
# when the key or its password file cannot be read or the password does not open it.
read_signer() {
  [ -n "${QUORVEL_SIGN_PASSWORD_FILE:-}" ] || die "QUORVEL_SIGN_PFX is set but QUORVEL_SIGN_PASSWORD_FILE is not: name the file holding the key's password"
  [ -r "$QUORVEL_SIGN_PFX" ] && [ -f "$QUORVEL_SIGN_PFX" ] || die "cannot read the signing key QUORVEL_SIGN_PFX=$QUORVEL_SIGN_PFX"
  [ -r "$QUORVEL_SIGN_PASSWORD_FILE" ] && [ -f "$QUORVEL_SIGN_PASSWORD_FILE" ] \
    || die "cannot read the password file QUORVEL_SIGN_PASSWORD_FILE=$QUORVEL_SIGN_PASSWORD_FILE"
  # makensis runs the uninstaller's signing in another folder: give it absolute paths.
  QUORVEL_SIGN_PFX=$(realpath "$QUORVEL_SIGN_PFX")
  QUORVEL_SIGN_PASSWORD_FILE=$(realpath "$QUORVEL_SIGN_PASSWORD_FILE")
  export QUORVEL_SIGN_PFX QUORVEL_SIGN_PASSWORD_FILE
  command -v openssl >/dev/null 2>&1 || die "openssl is missing (apt-get install openssl)"
  command -v osslsigncode >/dev/null 2>&1 || die "osslsigncode is missing (apt-get install osslsigncode)"
  # Keys exported by older tools use ciphers that OpenSSL 3 keeps in its legacy provider.
  local legacy
  for legacy in "" -legacy; do
    openssl pkcs12 $legacy -in "$QUORVEL_SIGN_PFX" -passin "file:$QUORVEL_SIGN_PASSWORD_FILE" \
      -nokeys -clcerts 2>/dev/null | openssl x509 >"$STAGE/signer.pem" 2>/dev/null && return 0
  done
  die "the password in $QUORVEL_SIGN_PASSWORD_FILE does not open $QUORVEL_SIGN_PFX (wrong password, or not a PKCS#12 file with a certificate)"
}

# Puts the setup program into the release: the build's as it is, or, when signing, one
# made around the signed exe, whose uninstaller is signed as makensis makes it.
release_setup() {
  local setup=$RELEASE/$(basename "$SETUP")
  if [ -z "$SIGNING" ]; then
    cp "$SETUP" "$setup" || die "could not copy $SETUP"
    return 0
  fi
  "$SOURCE/tools/setup/make-setup.sh" "$VERSION" "$STAGE/Quorvel.exe" "$setup" \
    "'$SOURCE/tools/sign.sh'" >"$STAGE/makensis.log" 2>&1 \
    || { grep -h '^\[sign\]' "$STAGE/makensis.log" >&2 || tail -n 5 "$STAGE/makensis.log" >&2
         die "could not make the signed setup program; $OUT is unchanged"; }
  "$SOURCE/tools/sign.sh" "$setup" || die "could not sign the setup program; $OUT is unchanged"
}

[ -z "$SIGNING" ] || read_signer
cp "$EXE" "$STAGE/Quorvel.exe"
if [ -n "$SIGNING" ]; then
  "$SOURCE/tools/sign.sh" "$STAGE/Quorvel.exe" || die "could not sign Quorvel.exe; $OUT is unchanged"
  say "signed Quorvel.exe"
fi
readme | sed 's/$/\r/' > "$STAGE/Readme.txt"
chmod 755 "$STAGE/Quorvel.exe"
chmod 644 "$STAGE/Readme.txt"
touch -d "@$SOURCE_DATE_EPOCH" "$STAGE/Quorvel.exe" "$STAGE/Readme.txt"
# Zip stores local times: UTC makes them the same in every time zone.
(cd "$STAGE" && TZ=UTC0 zip -q -X -D "$ZIP" Quorvel.exe Readme.txt) || die "zip failed"
release_setup
INFO=$(buildinfo) || exit 1
printf '%s\n' "$INFO" > "$RELEASE/BUILDINFO"
"$SOURCE/tools/winget.sh" "$RELEASE/winget" "$VERSION" "$RELEASE/$(basename "$SETUP")" "$RELEASE_URL"
(cd "$RELEASE" && sha256sum "$(basename "$SETUP")" "$(basename "$ZIP")" BUILDINFO winget/*.yaml > SHA256SUMS) \
  || die "could not write SHA256SUMS"

# Only a finished release reaches OUTDIR, and it replaces the files of an earlier one.
rm -rf "$OUT/winget"
cp -R "$RELEASE/." "$OUT/" || die "could not copy the release into $OUT"
for f in "$(basename "$SETUP")" "$(basename "$ZIP")" BUILDINFO winget SHA256SUMS; do
  say "made $OUT/$f"
done
[ -z "$SIGNING" ] || say "signed by $(sed -n 's/^signer subject //p' "$OUT/BUILDINFO")"
cat "$OUT/SHA256SUMS"
