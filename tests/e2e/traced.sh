#!/usr/bin/env bash
# Runs end-to-end cases that listen to Quorvel's sounds: Wine writes the trace of the
# programs they start to the standard error those programs inherit, so this puts the
# test program's standard error into a file and names it, as Wine sees it, in
# QUORVEL_TRACE. Usage: traced.sh TRACE_FILE PROGRAM ARGUMENTS...
set -eu
trace=$1
shift
: >"$trace"
winpath="Z:${trace//\//\\}"
QUORVEL_TRACE=$winpath exec wine "$@" 2>"$trace"
