#!/usr/bin/env bash
# Checks that a published release is what its commit makes: rebuilds it and compares.
#   tools/verify-release.sh DIR     (DIR holds the release: setup, zip, BUILDINFO,
#                                    winget/ and SHA256SUMS; KEEP=1 keeps the scratch folder)
# It clones the commit that BUILDINFO names from this checkout's repository, makes the
# release there unsigned with ./dev.sh dist (at the release's SOURCE_DATE_EPOCH), and:
# - an unsigned release: compares every file directly;
# - a signed one: compares Quorvel.exe from the zip, with its signature removed
#   (osslsigncode remove-signature), with the exe built here, and the rest of the zip
#   directly; makes a setup here around the released, signed Quorvel.exe and the
#   released, signed uninstaller (which 7-Zip takes out of the released setup, and which
#   must equal the uninstaller makensis makes here, its signature removed), and compares
#   it with the released setup, its signature removed; and makes the winget manifest
#   here for the released setup.
# Signing fills a setup's PE checksum field and pads the file to a multiple of 8 bytes
# before the certificate table, and removing the signature leaves both. So before the
# setups and uninstallers are compared, in both files the checksum field is set to zero
# and the file is padded with zeros to a multiple of 8 bytes; no other byte is touched.
# An exe with its signature removed is compared as it is.
# Exits non-zero naming every file that differs.
set -euo pipefail

say() { printf '[verify] %s\n' "$*"; }
die() { printf '[verify] error: %s\n' "$*" >&2; exit 1; }

# Copies a PE file with its checksum field zeroed and zeros appended to a multiple of 8
# bytes: the bytes a signature changes beyond its certificate table.
normalise() {
  local pe size
  cp "$1" "$2"
  pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  printf '\0\0\0\0' | dd of="$2" bs=1 seek=$((pe + 88)) conv=notrunc status=none
  size=$(stat -c %s "$2")
  head -c $(( (8 - size % 8) % 8 )) /dev/zero >>"$2"
}

# Whether two signed-or-not PE files are the same but for the bytes normalise() sets.
same_normalised() {
  normalise "$1" "$1.norm" && normalise "$2" "$2.norm"
  local rc=0
  cmp -s "$1.norm" "$2.norm" || rc=1
  rm -f "$1.norm" "$2.norm"
  return $rc
}

# The uninstaller step of the setup made here: makensis hands over the uninstaller it
# made, which must equal the released one with its signature removed; the released,
# signed one then takes its place in the setup.
take_uninstaller() {
  local released=$1 made=$2 dir rc=0
  # osslsigncode writes no file that exists already.
  dir=$(mktemp -d)
  osslsigncode remove-signature -in "$released" -out "$dir/plain.exe" >/dev/null 2>&1 \
    || { rm -rf "$dir"; die "the released setup's Uninstall.exe carries no signature that can be removed"; }
  same_normalised "$dir/plain.exe" "$made" || rc=1
  rm -rf "$dir"
  [ $rc -eq 0 ] || { say "Uninstall.exe differs: the released setup's uninstaller, its signature removed, is not the one built here"; exit 1; }
  cp "$released" "$made"
}

if [ "${1:-}" = --take-uninstaller ]; then
  take_uninstaller "$2" "$3"
  exit 0
fi

[ $# -eq 1 ] || die "usage: tools/verify-release.sh DIR"
[ -d "$1" ] || die "no folder $1"
REL=$(cd "$1" && pwd)
ROOT=$(cd "$(dirname "$0")/.." && pwd)
SELF=$ROOT/tools/verify-release.sh
[ -f "$REL/BUILDINFO" ] && [ -f "$REL/SHA256SUMS" ] || die "$REL holds no BUILDINFO and SHA256SUMS: is it a release folder?"

# A field of the release's BUILDINFO.
info() { sed -n "s/^$1 //p" "$REL/BUILDINFO" | head -n 1; }
VERSION=$(info Quorvel)
COMMIT=$(info commit)
EPOCH=$(info SOURCE_DATE_EPOCH)
SIGNED=$(info signed)
SETUP=Quorvel-$VERSION-setup.exe
ZIP=Quorvel-$VERSION.zip
[[ "$COMMIT" =~ ^[0-9a-f]{40}$ ]] || die "BUILDINFO names no single commit ('$COMMIT'): a release made from uncommitted changes cannot be rebuilt"
case "$SIGNED" in
  yes*) SIGNED=yes ;;
  no) ;;
  *) die "BUILDINFO does not say whether the release is signed" ;;
esac
for tool in git 7zz osslsigncode; do
  command -v $tool >/dev/null 2>&1 || die "$tool is missing (apt-get install git 7zip osslsigncode)"
done

(cd "$REL" && sha256sum --quiet -c SHA256SUMS) || die "the release's files do not match its SHA256SUMS"
git -C "$ROOT" cat-file -e "$COMMIT^{commit}" 2>/dev/null \
  || die "commit $COMMIT is not in $ROOT: fetch it first"

SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-verify.XXXXXX")
# Removes the scratch folder, unless asked to keep it.
cleanup() {
  if [ -n "${KEEP:-}" ]; then say "kept $SCRATCH"; else rm -rf "$SCRATCH"; fi
}
trap cleanup EXIT

SRC=$SCRATCH/src
say "rebuilding $COMMIT in $SRC"
git clone -q --no-checkout "$ROOT" "$SRC" && git -C "$SRC" checkout -q --detach "$COMMIT" \
  || die "could not check out $COMMIT"
(cd "$SRC" && env -u QUORVEL_SIGN_PFX -u QUORVEL_SIGN_PASSWORD_FILE -u QUORVEL_SIGN_TIMESTAMP_URL \
  BUILD_DIR=build SOURCE_DATE_EPOCH="$EPOCH" ./dev.sh dist) >"$SCRATCH/dist.log" 2>&1 \
  || { tail -n 20 "$SCRATCH/dist.log" >&2; die "./dev.sh dist failed in $SRC (log: $SCRATCH/dist.log)"; }
HERE=$SRC/dist

DIFFER=()
# Reports one comparison: NAME, 0 when it held, and how the files were compared.
report() {
  if [ "$2" = 0 ]; then say "same:    $1${3:+ ($3)}"; else say "DIFFERS: $1${3:+ ($3)}"; DIFFER+=("$1"); fi
}
# Compares two files byte for byte, reporting under NAME: NAME A B.
compare() {
  local rc=0
  cmp -s "$2" "$3" || rc=1
  report "$1" $rc
}

# What shaped the bytes must agree, or nothing else can.
rc=0
diff <(grep -v '^signe' "$REL/BUILDINFO") <(grep -v '^signe' "$HERE/BUILDINFO") >"$SCRATCH/buildinfo.diff" || rc=1
report BUILDINFO $rc "commit, time and package versions"
[ $rc -eq 0 ] || sed 's/^/  /' "$SCRATCH/buildinfo.diff"

if [ "$SIGNED" = no ]; then
  for f in "$SETUP" "$ZIP" SHA256SUMS; do compare "$f" "$REL/$f" "$HERE/$f"; done
  for f in "$HERE"/winget/*.yaml; do compare "winget/${f##*/}" "$REL/winget/${f##*/}" "$f"; done
else
  mkdir -p "$SCRATCH/zip" "$SCRATCH/zip-here" "$SCRATCH/setup"
  7zz x -y -o"$SCRATCH/zip" "$REL/$ZIP" >/dev/null && 7zz x -y -o"$SCRATCH/zip-here" "$HERE/$ZIP" >/dev/null \
    || die "could not unpack the zips"
  rc=0
  osslsigncode remove-signature -in "$SCRATCH/zip/Quorvel.exe" -out "$SCRATCH/Quorvel.plain.exe" >/dev/null 2>&1 \
    && cmp -s "$SCRATCH/Quorvel.plain.exe" "$SRC/build/Quorvel.exe" || rc=1
  report Quorvel.exe $rc "in $ZIP, signature removed"
  rc=0
  diff -r -x Quorvel.exe "$SCRATCH/zip" "$SCRATCH/zip-here" >/dev/null || rc=1
  report "$ZIP" $rc "everything but Quorvel.exe"

  7zz x -y -o"$SCRATCH/setup" "$REL/$SETUP" Uninstall.exe >/dev/null && [ -f "$SCRATCH/setup/Uninstall.exe" ] \
    || die "could not take Uninstall.exe out of $SETUP"
  rc=0
  "$SRC/tools/setup/make-setup.sh" "$VERSION" "$SCRATCH/zip/Quorvel.exe" "$SCRATCH/$SETUP" \
    "'$SELF' --take-uninstaller '$SCRATCH/setup/Uninstall.exe'" >"$SCRATCH/makensis.log" 2>&1 || rc=1
  if [ $rc -ne 0 ]; then
    grep -q '^\[verify\] Uninstall.exe differs' "$SCRATCH/makensis.log" \
      || { tail -n 5 "$SCRATCH/makensis.log" >&2; die "makensis could not make the setup here"; }
    report Uninstall.exe 1 "in $SETUP, signature removed"
  else
    report Uninstall.exe 0 "in $SETUP, signature removed"
    osslsigncode remove-signature -in "$REL/$SETUP" -out "$SCRATCH/setup.plain.exe" >/dev/null 2>&1 \
      && same_normalised "$SCRATCH/setup.plain.exe" "$SCRATCH/$SETUP" || rc=1
    report "$SETUP" $rc "signature removed, checksum field and end padding normalised"
  fi

  "$SRC/tools/winget.sh" "$SCRATCH/winget" "$VERSION" "$REL/$SETUP" \
    "$(sed -n 's/^QUORVEL_RELEASE_URL:INTERNAL=//p' "$SRC/build/CMakeCache.txt")" >/dev/null
  for f in "$SCRATCH"/winget/*.yaml; do compare "winget/${f##*/}" "$REL/winget/${f##*/}" "$f"; done
fi

if [ ${#DIFFER[@]} -gt 0 ]; then
  die "the release in $REL is not what $COMMIT makes: ${DIFFER[*]} differ"
fi
if [ "$SIGNED" = yes ]; then
  say "the release in $REL is what $COMMIT makes, but for its signatures"
else
  say "the release in $REL is what $COMMIT makes"
fi
