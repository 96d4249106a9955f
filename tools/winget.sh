#!/usr/bin/env bash
# Writes the winget manifest of a release (version, installer and default locale, schema
# 1.10.0) into OUTDIR, named as winget's repository names them:
#   tools/winget.sh OUTDIR VERSION SETUP RELEASE_URL
# SETUP is the release's setup program; its address is RELEASE_URL and its file name.
# The names, publisher and app-list key come from the setup script, so that winget knows
# an installed Quorvel by exactly what the setup writes; the release notes are the
# version's section of CHANGELOG.md.
set -euo pipefail

say() { printf '[winget] %s\n' "$*"; }
die() { printf '[winget] error: %s\n' "$*" >&2; exit 1; }

[ $# -eq 4 ] || die "usage: tools/winget.sh OUTDIR VERSION SETUP RELEASE_URL"
OUTDIR=$1 VERSION=$2 SETUP=$3 URL=$4
SOURCE=$(cd "$(dirname "$0")/.." && pwd)
NSI=$SOURCE/tools/setup/quorvel.nsi
SCHEMA=1.10.0
# The first part of the package's identifier: the setup's publisher, as one word.
PUBLISHER_ID=QuorvelAuthors
LICENSE="Copyright (C) 2026 the Quorvel authors"
SHORT_DESCRIPTION="Tray countdowns for a crafter's bulk orders in an online role-playing game"

# The value of a !define in the setup script.
nsi_define() {
  sed -n "s/^!define $1 \"\(.*\)\"\$/\1/p" "$NSI" | head -n 1
}
APP=$(nsi_define APP)
PUBLISHER=$(nsi_define PUBLISHER)
PRODUCT_CODE=$(nsi_define UNINSTALL_KEY)
PRODUCT_CODE=${PRODUCT_CODE##*\\}
[ -n "$APP" ] && [ -n "$PUBLISHER" ] && [ -n "$PRODUCT_CODE" ] \
  || die "could not read APP, PUBLISHER and UNINSTALL_KEY from $NSI"
ID=$PUBLISHER_ID.$APP

# The version's section of the changelog, without its heading and the blank lines before
# it (the command substitution drops those after it).
release_notes() {
  awk -v head="## [$VERSION]" '
    /^## / { inside = (index($0, head) == 1); next }
    inside' "$SOURCE/CHANGELOG.md" | sed -e '/./,$!d'
}
NOTES=$(release_notes)
[ -n "$NOTES" ] || die "CHANGELOG.md has no section \"## [$VERSION]\": add it before making the release"
# winget's schema takes release notes of at most 10000 characters.
[ ${#NOTES} -le 10000 ] || die "the changelog's section for $VERSION has ${#NOTES} characters, more than winget's 10000: shorten it"

# The first lines of every manifest file: the schema it follows and the package.
head_lines() {
  printf '# yaml-language-server: $schema=https://aka.ms/winget-manifest.%s.%s.schema.json\n\n' "$1" "$SCHEMA"
  printf 'PackageIdentifier: %s\nPackageVersion: %s\n' "$ID" "$VERSION"
}

mkdir -p "$OUTDIR"
{
  head_lines version
  printf 'DefaultLocale: en-US\nManifestType: version\nManifestVersion: %s\n' "$SCHEMA"
} >"$OUTDIR/$ID.yaml"

SHA=$(sha256sum <"$SETUP" | cut -d' ' -f1)
{
  head_lines installer
  cat <<YAML
InstallerType: nullsoft
Scope: user
InstallModes:
- silent
InstallerSwitches:
  Silent: /S
  SilentWithProgress: /S
UpgradeBehavior: install
ProductCode: $PRODUCT_CODE
AppsAndFeaturesEntries:
- DisplayName: $APP
  Publisher: $PUBLISHER
  DisplayVersion: $VERSION
  ProductCode: $PRODUCT_CODE
Installers:
- Architecture: x86
  InstallerUrl: $URL$(basename "$SETUP")
  InstallerSha256: ${SHA^^}
ManifestType: installer
ManifestVersion: $SCHEMA
YAML
} >"$OUTDIR/$ID.installer.yaml"

{
  head_lines defaultLocale
  cat <<YAML
PackageLocale: en-US
Publisher: $PUBLISHER
PackageName: $APP
License: $LICENSE
ShortDescription: $SHORT_DESCRIPTION
ReleaseNotes: |-
$(sed 's/^\(.\)/  \1/' <<<"$NOTES")
ManifestType: defaultLocale
ManifestVersion: $SCHEMA
YAML
} >"$OUTDIR/$ID.locale.en-US.yaml"

case "$URL" in
  *://example.invalid/* | *.example.invalid/*)
    say "warning: the release address $URL is a placeholder: the manifest cannot be published until CMakeLists.txt names the real one" ;;
esac
