#!/usr/bin/env bash
# Checks that the release is reproducible: clones the current commit twice, into scratch
# folders of different names and depths, makes the release in each with its own
# ./dev.sh dist, and compares Quorvel.exe, the setup program, the zip, BUILDINFO, the
# winget manifest and SHA256SUMS byte for byte. Unsigned: the scripts' signing key, if
# set in the caller's environment, is not passed on.
#   tools/reproducible.sh          (KEEP=1 keeps the scratch folders and says where)
# The builds run one after the other, the second with another umask and a clock two
# hours ahead (faketime, installed when missing). Only what is committed is
# built. Prints both builds' checksums side by side; exits non-zero naming every file
# that differs.
set -euo pipefail

say() { printf '[reproducible] %s\n' "$*"; }
die() { printf '[reproducible] error: %s\n' "$*" >&2; exit 1; }

ROOT=$(cd "$(dirname "$0")/.." && pwd)
COMMIT=$(git -C "$ROOT" rev-parse HEAD) || die "$ROOT is not a git checkout"
[ -z "$(git -C "$ROOT" status --porcelain --untracked-files=no)" ] \
  || say "note: uncommitted changes are not built; this checks $COMMIT"

SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-repro.XXXXXX")
# Ends the scratch folders, unless asked to keep them.
cleanup() {
  if [ -n "${KEEP:-}" ]; then say "kept $SCRATCH"; else rm -rf "$SCRATCH"; fi
}
trap cleanup EXIT

# Clones the checked-out commit (on a branch or not) into DIR.
clone_at_head() {
  git clone -q --no-checkout "$ROOT" "$1" || die "git clone into $1 failed"
  git -C "$1" fetch -q "$ROOT" HEAD || die "git fetch of $COMMIT into $1 failed"
  git -C "$1" checkout -q --detach "$COMMIT" || die "checkout of $COMMIT in $1 failed"
}

# Makes the release in clone DIR, with its log in DIR.log: DIR [COMMAND PREFIX...].
release_in() {
  local dir=$1
  shift
  say "building in $dir"
  # Each clone builds into its own build/, whatever BUILD_DIR the caller has exported:
  # an absolute one would be shared by both builds, and the files compared are there.
  (cd "$dir" && export BUILD_DIR=build && unset QUORVEL_SIGN_PFX QUORVEL_SIGN_PASSWORD_FILE \
    && "$@" ./dev.sh dist) >"$dir.log" 2>&1 \
    || { tail -n 20 "$dir.log" >&2; die "./dev.sh dist failed in $dir (log: $dir.log)"; }
}

A=$SCRATCH/a
B=$SCRATCH/second/a-clone-in-a-folder-with-a-longer-name
mkdir -p "$SCRATCH/second"
clone_at_head "$A"
clone_at_head "$B"

# faketime moves the second build's clock, so that every machine checks the same thing;
# it is installed when missing, and only where it cannot be does the check go on without.
ensure_faketime() {
  [ "$(dpkg-query -W -f='${Status}' faketime 2>/dev/null)" = "install ok installed" ] && return 0
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  say "installing faketime, which sets the second build's clock ahead"
  { $sudo apt-get update -q && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q \
      --no-install-recommends faketime; } >/dev/null 2>&1
}

SECOND=(env)
if ensure_faketime; then
  SECOND=(faketime -f +2h)
  say "the second build runs with the clock two hours ahead (faketime)"
else
  say "faketime could not be installed: the second build differs in folder, umask and start time only"
fi
release_in "$A"
(umask 077 && release_in "$B" "${SECOND[@]}")

VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$A/build/CMakeCache.txt")
FILES=(build/Quorvel.exe "dist/Quorvel-$VERSION-setup.exe" "dist/Quorvel-$VERSION.zip"
  dist/BUILDINFO dist/SHA256SUMS)
for f in "$A"/dist/winget/*.yaml; do FILES+=("dist/winget/${f##*/}"); done
differ=()
printf '%-64s  %-64s  %s\n' "first build" "second build" "file"
for f in "${FILES[@]}"; do
  [ -f "$A/$f" ] && [ -f "$B/$f" ] || die "a build did not make $f"
  a=$(sha256sum <"$A/$f" | cut -d' ' -f1)
  b=$(sha256sum <"$B/$f" | cut -d' ' -f1)
  printf '%s  %s  %s\n' "$a" "$b" "$(basename "$f")"
  [ "$a" = "$b" ] || differ+=("$(basename "$f")")
done
if [ ${#differ[@]} -gt 0 ]; then
  die "not reproducible: ${differ[*]} differ between the two builds of $COMMIT"
fi
say "the release of $COMMIT is reproducible"
