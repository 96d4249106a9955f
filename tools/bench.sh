#!/usr/bin/env bash
# Measures Quorvel beside a bare Win32 tray program in the same run, under Wine:
# start-up to tray icon, CPU while idle, CPU with the status dialog open, and memory.
# Called by ./dev.sh bench, which provides DISPLAY, WINEPREFIX and a running wineserver.
#   BENCH_RUNS (10) starts timed per program; BENCH_IDLE_SECONDS (60) idle window;
#   BENCH_DIALOG_SECONDS (20) window with the status dialog open.
set -euo pipefail

BUILD=$(cd "$1" && pwd)
RUNS=${BENCH_RUNS:-10}
IDLE=${BENCH_IDLE_SECONDS:-60}
DIALOG=${BENCH_DIALOG_SECONDS:-20}
TICKS=$(getconf CLK_TCK)

cmake --build "$BUILD" --target bench_baseline benchtool >/dev/null
QUORVEL=$BUILD/Quorvel.exe
BASELINE=$BUILD/tools/bench/bench_baseline.exe
TOOL=$BUILD/tools/bench/benchtool.exe
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

# CPU time (user + system) of a Linux process, in clock ticks.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# A /proc/PID/status field in kB.
mem_kb() { awk -v key="$2:" '$1 == key { print $2 }' "/proc/$1/status"; }

echo "Start-up to tray icon, $RUNS starts each (ms: fastest, median, slowest)"
q_start=$(wine "$TOOL" startup "$(winpath "$QUORVEL")" Quorvel "$RUNS" | tr -d '\r')
b_start=$(wine "$TOOL" startup "$(winpath "$BASELINE")" QuorvelBaseline "$RUNS" | tr -d '\r')
printf '  %-10s %s\n  %-10s %s\n' Quorvel "$q_start" baseline "$b_start"

work=$(mktemp -d)
mkdir -p "$work/q" "$work/b"
# Wine's loader keeps the process id it was started with, so $! is the program itself.
(cd "$work/q" && exec wine "$QUORVEL" >/dev/null 2>&1) &
qpid=$!
(cd "$work/b" && exec wine "$BASELINE" >/dev/null 2>&1) &
bpid=$!
sleep 3
[ -e "/proc/$qpid/stat" ] && [ -e "/proc/$bpid/stat" ] || { echo "bench: programs did not start" >&2; exit 1; }

q0=$(cpu_ticks "$qpid"); b0=$(cpu_ticks "$bpid")
sleep "$IDLE"
q1=$(cpu_ticks "$qpid"); b1=$(cpu_ticks "$bpid")
echo "CPU while idle over ${IDLE} s (ms)"
printf '  %-10s %d\n  %-10s %d\n' Quorvel $(( (q1 - q0) * 1000 / TICKS )) baseline $(( (b1 - b0) * 1000 / TICKS ))

wine "$TOOL" post Quorvel Quorvel 32868 1 515 >/dev/null
sleep 2
d0=$(cpu_ticks "$qpid"); b0=$(cpu_ticks "$bpid")
sleep "$DIALOG"
d1=$(cpu_ticks "$qpid"); b1=$(cpu_ticks "$bpid")
echo "CPU with the status dialog open over ${DIALOG} s (ms; the baseline stays idle)"
printf '  %-10s %d\n  %-10s %d\n' Quorvel $(( (d1 - d0) * 1000 / TICKS )) baseline $(( (b1 - b0) * 1000 / TICKS ))
wine "$TOOL" post '#32770' Quorvel 16 0 0 >/dev/null || true

echo "Memory (kB: resident now, peak resident)"
printf '  %-10s %s %s\n  %-10s %s %s\n' Quorvel "$(mem_kb "$qpid" VmRSS)" "$(mem_kb "$qpid" VmHWM)" \
  baseline "$(mem_kb "$bpid" VmRSS)" "$(mem_kb "$bpid" VmHWM)"
printf '  %-10s %s bytes\n  %-10s %s bytes\n' Quorvel.exe "$(stat -c %s "$QUORVEL")" baseline "$(stat -c %s "$BASELINE")"

wine "$TOOL" post Quorvel Quorvel 16 0 0 >/dev/null || true
wine "$TOOL" post QuorvelBaseline QuorvelBaseline 16 0 0 >/dev/null || true
sleep 1
rm -rf "$work"
