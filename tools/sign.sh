#!/usr/bin/env bash
# Signs Windows programs in place with the release's key (Authenticode, SHA-256), for
# ./dev.sh dist and for the uninstaller inside the setup (tools/setup/quorvel.nsi):
#   tools/sign.sh FILE...
# The key comes from the environment: QUORVEL_SIGN_PFX (a PKCS#12 file),
# QUORVEL_SIGN_PASSWORD_FILE (its password) and, optionally, QUORVEL_SIGN_TIMESTAMP_URL
# (an RFC 3161 time-stamp server). A file that cannot be signed is left as it was, and
# the script exits non-zero saying why.
set -euo pipefail

die() { printf '[sign] error: %s\n' "$*" >&2; exit 1; }

[ $# -ge 1 ] || die "usage: tools/sign.sh FILE..."
PFX=${QUORVEL_SIGN_PFX:?set QUORVEL_SIGN_PFX to the PKCS#12 file}
PASSWORD_FILE=${QUORVEL_SIGN_PASSWORD_FILE:?set QUORVEL_SIGN_PASSWORD_FILE to the file holding its password}
TIMESTAMP=()
[ -z "${QUORVEL_SIGN_TIMESTAMP_URL:-}" ] || TIMESTAMP=(-ts "$QUORVEL_SIGN_TIMESTAMP_URL")
command -v osslsigncode >/dev/null 2>&1 || die "osslsigncode is missing (apt-get install osslsigncode)"

for file in "$@"; do
  # A time-stamp server that never answers must not hold the release up for ever.
  rc=0
  log=$(timeout 120 osslsigncode sign -pkcs12 "$PFX" -readpass "$PASSWORD_FILE" -h sha256 \
    "${TIMESTAMP[@]}" -in "$file" -out "$file.signing" 2>&1) || rc=$?
  if [ $rc -ne 0 ]; then
    rm -f "$file.signing"
    [ $rc -ne 124 ] || die "signing $file took more than 120 s (no answer from ${QUORVEL_SIGN_TIMESTAMP_URL:-the time-stamp server}?)"
    if [ ${#TIMESTAMP[@]} -gt 0 ] && grep -qi -e timestamp -e curl -e http <<<"$log"; then
      die "the time-stamp server $QUORVEL_SIGN_TIMESTAMP_URL did not give $file a time-stamp ($(grep -i -m1 -e curl -e http <<<"$log" || true)); try again later or choose another server"
    fi
    die "osslsigncode could not sign $file: $(tr '\n' ' ' <<<"$log")"
  fi
  mv "$file.signing" "$file"
done
