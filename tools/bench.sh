#!/usr/bin/env bash
# Measures Quorvel beside a bare Win32 tray program in the same run, under Wine:
# start-up to tray icon, CPU while idle, CPU while another file in its folder is written
# 20 times a second, CPU with the status dialog open, and memory.
# Called by ./dev.sh bench, which provides DISPLAY, WINEPREFIX and a running wineserver.
#   BENCH_RUNS (10) starts timed per program; BENCH_IDLE_SECONDS (60) idle window;
#   BENCH_BUSY_SECONDS (10) busy-folder window; BENCH_DIALOG_SECONDS (20) window with the
#   status dialog open; BENCH_PREVIOUS the Quorvel.exe of another build (an older
#   version, say), measured in turn with the others; BENCH_INI a settings file that each
#   Quorvel starts on in the running figures (one with an [ALERT] section, say).
set -euo pipefail

BUILD=$(cd "$1" && pwd)
RUNS=${BENCH_RUNS:-10}
IDLE=${BENCH_IDLE_SECONDS:-60}
BUSY=${BENCH_BUSY_SECONDS:-10}
DIALOG=${BENCH_DIALOG_SECONDS:-20}
TICKS=$(getconf CLK_TCK)

cmake --build "$BUILD" --target bench_baseline benchtool >/dev/null
TOOL=$BUILD/tools/bench/benchtool.exe
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

# Each program measured: its name in the figures, its exe and its window class.
NAMES=(Quorvel) EXES=("$BUILD/Quorvel.exe") CLASSES=(Quorvel)
if [ -n "${BENCH_PREVIOUS:-}" ]; then
  NAMES+=(previous) EXES+=("$(cd "$(dirname "$BENCH_PREVIOUS")" && pwd)/$(basename "$BENCH_PREVIOUS")") CLASSES+=(Quorvel)
fi
NAMES+=(baseline) EXES+=("$BUILD/tools/bench/bench_baseline.exe") CLASSES+=(QuorvelBaseline)

# CPU time (user + system) of a Linux process, in clock ticks.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# A /proc/PID/status field in kB.
mem_kb() { awk -v key="$2:" '$1 == key { print $2 }' "/proc/$1/status"; }
# CPU in ms that a process uses over the given seconds.
cpu_over() {
  local t0 t1
  t0=$(cpu_ticks "$1"); sleep "$2"; t1=$(cpu_ticks "$1")
  echo $(( (t1 - t0) * 1000 / TICKS ))
}
# Appends a line to a file 20 times a second for the given seconds, as a busy log would.
write_often() {
  local end=$((SECONDS + $2))
  while [ $SECONDS -lt "$end" ]; do printf 'line\n' >>"$1"; sleep 0.05; done
}

echo "Start-up to tray icon, $RUNS starts each (ms: fastest, median, slowest)"
for i in "${!NAMES[@]}"; do
  printf '  %-10s %s\n' "${NAMES[$i]}" \
    "$(wine "$TOOL" startup "$(winpath "${EXES[$i]}")" "${CLASSES[$i]}" "$RUNS" | tr -d '\r')"
done

# The running figures, one program at a time, so that each window is the only one of
# its class while its dialog is opened and closed.
work=$(mktemp -d)
declare -A idle busy dialog memory
for i in "${!NAMES[@]}"; do
  name=${NAMES[$i]} class=${CLASSES[$i]}
  mkdir -p "$work/$name"
  if [ "$class" = Quorvel ] && [ -n "${BENCH_INI:-}" ]; then cp "$BENCH_INI" "$work/$name/Quorvel.ini"; fi
  # Wine's loader keeps the process id it was started with, so $! is the program itself.
  (cd "$work/$name" && exec wine "${EXES[$i]}" >/dev/null 2>&1) &
  pid=$!
  sleep 3
  [ -e "/proc/$pid/stat" ] || { echo "bench: $name did not start" >&2; exit 1; }
  idle[$name]=$(cpu_over "$pid" "$IDLE")
  write_often "$work/$name/neighbour.log" $((BUSY + 2)) &
  writer=$!
  sleep 1
  busy[$name]=$(cpu_over "$pid" "$BUSY")
  wait "$writer"
  if [ "$class" = Quorvel ]; then
    wine "$TOOL" post Quorvel Quorvel 32868 1 515 >/dev/null
    sleep 2
  fi
  dialog[$name]=$(cpu_over "$pid" "$DIALOG")
  [ "$class" = Quorvel ] && { wine "$TOOL" post '#32770' Quorvel 16 0 0 >/dev/null || true; }
  memory[$name]="$(mem_kb "$pid" VmRSS) $(mem_kb "$pid" VmHWM)"
  wine "$TOOL" post "$class" "$class" 16 0 0 >/dev/null || true
  wait "$pid" 2>/dev/null || true
done

echo "CPU while idle over ${IDLE} s (ms)"
for name in "${NAMES[@]}"; do printf '  %-10s %d\n' "$name" "${idle[$name]}"; done
echo "CPU while a file beside it is written 20 times a second, over ${BUSY} s (ms)"
for name in "${NAMES[@]}"; do printf '  %-10s %d\n' "$name" "${busy[$name]}"; done
echo "CPU with the status dialog open over ${DIALOG} s (ms; the baseline stays idle)"
for name in "${NAMES[@]}"; do printf '  %-10s %d\n' "$name" "${dialog[$name]}"; done
echo "Memory (kB: resident now, peak resident)"
for name in "${NAMES[@]}"; do printf '  %-10s %s\n' "$name" "${memory[$name]}"; done
for i in "${!NAMES[@]}"; do
  printf '  %-10s %s bytes\n' "$(basename "${EXES[$i]}")" "$(stat -c %s "${EXES[$i]}")"
done
rm -rf "$work"
