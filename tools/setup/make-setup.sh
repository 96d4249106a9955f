#!/usr/bin/env bash
# Makes the setup program around a given Quorvel.exe with the options the build uses, for
# a release whose exe is signed after the build (and for checking one):
#   tools/setup/make-setup.sh VERSION EXE OUTFILE [UNINSTALLER_FINALIZE]
# UNINSTALLER_FINALIZE is a shell command that gets the uninstaller's path as its last
# word, once makensis has made it (see quorvel.nsi); it must exit 0.
set -euo pipefail
[ $# -ge 3 ] || { echo "usage: tools/setup/make-setup.sh VERSION EXE OUTFILE [UNINSTALLER_FINALIZE]" >&2; exit 2; }
# makensis works in the script's folder: the files it is given must be absolute paths.
exe=$(realpath "$2")
out=$(realpath -m "$3")
options=(-V2 "-DVERSION=$1" -DTARGET=x86-unicode "-DEXE=$exe" "-DOUTFILE=$out")
[ -z "${4:-}" ] || options+=("-DUNINSTALLER_FINALIZE=$4")
makensis "${options[@]}" "$(dirname "$(realpath "$0")")/quorvel.nsi"
