#!/usr/bin/env bash
# A release signed with a throwaway key, end to end: ./dev.sh dist in a clean clone of the
# commit under test signs it; osslsigncode accepts each signed file against that key's
# certificate; the signed setup installs silently under Wine, as its winget manifest says,
# and the installed program starts; tools/verify-release.sh accepts the release and
# refuses it with one byte of Quorvel.exe changed; and a key that cannot be used stops
# dist without a file in its folder.
#   tests/release/signed_release.sh WORK_PARENT SOURCE E2E_TESTS_EXE ARCH
# Everything lives in WORK_PARENT/signed_release, made afresh. The time-stamp server
# that cannot be reached is a loopback port nothing listens on; every step is bounded.
set -euo pipefail

WORK=$1/signed_release ROOT=$2 E2E=$3 ARCH=$4
FAILED=0
# Records a failed check and goes on, so that one run shows every fault.
fail() { printf '[signed_release] FAIL: %s\n' "$*"; FAILED=1; }
say() { printf '[signed_release] %s\n' "$*"; }

rm -rf "$WORK"
mkdir -p "$WORK"
cd "$WORK"
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=Quorvel throwaway signer" -addext extendedKeyUsage=codeSigning 2>/dev/null
printf 'throwaway\n' >password
printf 'not it\n' >wrong-password
openssl pkcs12 -export -inkey key.pem -in cert.pem -out key.pfx -passout file:password
export QUORVEL_SIGN_PFX=$WORK/key.pfx QUORVEL_SIGN_PASSWORD_FILE=$WORK/password
unset QUORVEL_SIGN_TIMESTAMP_URL

git clone -q --no-checkout "$ROOT" src
git -C src fetch -q "$ROOT" HEAD
git -C src checkout -q --detach FETCH_HEAD
(cd src && BUILD_DIR=build timeout 150 ./dev.sh dist) >dist.log 2>&1 || { tail -n 20 dist.log; fail "signed ./dev.sh dist"; exit 1; }
grep -q 'warning: the release address .*example.invalid.* is a placeholder' dist.log \
  || fail "dist did not warn that the manifest's address is a placeholder"
mv src/dist release
VERSION=$(sed -n 's/^Quorvel //p' release/BUILDINFO)
SETUP=Quorvel-$VERSION-setup.exe

# Each signed file, as osslsigncode checks it against the throwaway certificate.
7zz x -y -ozip "release/Quorvel-$VERSION.zip" Quorvel.exe >/dev/null
7zz x -y -osetup "release/$SETUP" Uninstall.exe >/dev/null
for file in zip/Quorvel.exe setup/Uninstall.exe "release/$SETUP"; do
  timeout 60 osslsigncode verify -CAfile cert.pem -in "$file" >"$file.verify" 2>&1 \
    || fail "$file does not verify against the throwaway certificate: $(cat "$file.verify")"
  say "osslsigncode verify $file: $(grep -E -m2 'Subject|Signature verification' "$file.verify" | tr -s '\t\n' '  ')"
done
fingerprint=$(openssl x509 -noout -fingerprint -sha256 -in cert.pem | sed 's/^[^=]*=//')
grep -qx "signer SHA-256 $fingerprint" release/BUILDINFO || fail "BUILDINFO does not name the signer's fingerprint"
grep -qx "signer subject CN=Quorvel throwaway signer" release/BUILDINFO || fail "BUILDINFO does not name the signer"

# The setup under Wine, against its manifest: a 32-bit setup needs the 32-bit Wine.
if [ "$ARCH" = i686 ]; then
  manifest=$(ls "$WORK"/release/winget/*.installer.yaml)
  QUORVEL_WINGET_MANIFEST="Z:${manifest//\//\\}" timeout 120 wine "$E2E" \
    --gtest_filter=SetupProgram.SignedReleaseInstallsAsItsWingetManifestSays \
    "$WORK/src/build/Quorvel.exe" "$WORK/release/$SETUP" || fail "the signed setup under Wine"
else
  say "the 32-bit setup is not installed: this machine runs the 64-bit build under 64-bit Wine"
fi

# The release as published is accepted; with one byte of its exe changed (and the
# checksums made to fit, as a forger would), it is refused, naming the exe.
timeout 150 "$ROOT/tools/verify-release.sh" release || fail "verify-release.sh refused the signed release"
cp -R release forged
byte=$(od -An -tu1 -j5000 -N1 zip/Quorvel.exe | tr -d ' ')
printf "\\$(printf %o $(( (byte + 1) % 256 )))" | dd of=zip/Quorvel.exe bs=1 seek=5000 conv=notrunc status=none
(cd zip && zip -q -X -D "$WORK/forged/Quorvel-$VERSION.zip" Quorvel.exe)
(cd forged && sha256sum "$SETUP" "Quorvel-$VERSION.zip" BUILDINFO winget/*.yaml >SHA256SUMS)
if timeout 150 "$ROOT/tools/verify-release.sh" forged >verify-forged.log 2>&1; then
  fail "verify-release.sh accepted a release whose Quorvel.exe was changed"
fi
cat verify-forged.log
grep -q '^\[verify\] DIFFERS: Quorvel.exe' verify-forged.log || fail "verify-release.sh did not name Quorvel.exe"

# A key that cannot be used stops dist with its cause and leaves its folder empty.
port=9
while timeout 2 bash -c "exec 3<>/dev/tcp/127.0.0.1/$port" 2>/dev/null; do port=$((port + 1)); done
while read -r name pfx password url message; do
  out=$WORK/out-$name
  rc=0
  QUORVEL_SIGN_PFX=$pfx QUORVEL_SIGN_PASSWORD_FILE=$password QUORVEL_SIGN_TIMESTAMP_URL=${url#-} \
    timeout 150 "$WORK/src/tools/dist.sh" src/build "$out" >"$name.log" 2>&1 || rc=$?
  [ $rc -ne 0 ] && [ $rc -ne 124 ] || fail "$name: dist ended with $rc"
  grep -q "$message" "$name.log" || fail "$name: no \"$message\" in: $(cat "$name.log")"
  [ -z "$(ls -A "$out" 2>/dev/null)" ] || fail "$name: dist left files in $out: $(ls -A "$out")"
done <<CASES
missing-key $WORK/none.pfx $WORK/password - cannot read the signing key
wrong-password $WORK/key.pfx $WORK/wrong-password - does not open
no-time-stamp $WORK/key.pfx $WORK/password http://127.0.0.1:$port/ time-stamp server http://127.0.0.1:$port/ did not
CASES

[ $FAILED -eq 0 ] && say "passed" || say "failed"
exit $FAILED
