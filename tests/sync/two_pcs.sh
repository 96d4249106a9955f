#!/usr/bin/env bash
# Two PCs keep the record in one folder that two Syncthing instances share on loopback,
# and one PC's order must survive the conflict the engine resolves by whole files:
# A receives an order and exits; B steps a skill while its Syncthing is stopped; B's
# Syncthing starts again, so that B's newer file wins and A's becomes a conflict copy in
# both folders; then A's Quorvel starts. Passes when both records hold A's order and B's
# step, no copy is left in either folder (A's went to the Recycle Bin), and A's lamp never
# turned red. Runs under the suite's Wine (WINEPREFIX, DISPLAY and a running wineserver).
#   two_pcs.sh WORK_DIR Quorvel.exe pc.exe
# Exits 77 (skipped) where syncthing is not installed.
set -euo pipefail
work=$1/two_pcs
exe="Z:${2//\//\\}"
pc=$3
command -v syncthing >/dev/null || { echo "SKIPPED: syncthing is not installed here"; exit 77; }

declare -A pid id port
# Stops every Syncthing this script started, by its PID, also when the test fails.
stop() {
  local name=$1 i
  [ -n "${pid[$name]:-}" ] || return 0
  kill "${pid[$name]}" 2>/dev/null || true
  for i in $(seq 50); do kill -0 "${pid[$name]}" 2>/dev/null || break; sleep 0.1; done
  kill -9 "${pid[$name]}" 2>/dev/null || true
  wait "${pid[$name]}" 2>/dev/null || true
  pid[$name]=""
}
trap 'stop a; stop b' EXIT

# Polls a condition five times a second for at most the given seconds.
wait_until() {
  local seconds=$1 what=$2 i
  shift 2
  for i in $(seq $((seconds * 5))); do "$@" && return 0; sleep 0.2; done
  echo "FAILED: $what within $seconds s"
  exit 1
}

# A port on loopback that nothing listens on.
free_port() {
  local p
  while :; do
    p=$((20000 + RANDOM % 40000))
    (exec 3<>/dev/tcp/127.0.0.1/$p) 2>/dev/null || { echo $p; return; }
  done
}

# Gives PC $1 a key, and an empty folder with Syncthing's marker in it.
make_pc() {
  mkdir -p "$work/$1/folder/.stfolder"
  syncthing generate --home="$work/$1/home" --no-default-folder --skip-port-probing >/dev/null 2>&1
  id[$1]=$(syncthing serve --home="$work/$1/home" --device-id)
  port[$1]=$(free_port)
}

# Writes PC $1's configuration: one folder shared with PC $2, on loopback addresses only,
# with discovery, relays, NAT traversal, reporting and upgrades off.
configure() {
  cat >"$work/$1/home/config.xml" <<EOF
<configuration version="36">
  <folder id="quorvel" label="quorvel" path="$work/$1/folder" type="sendreceive"
          rescanIntervalS="60" fsWatcherEnabled="true" fsWatcherDelayS="1">
    <maxConflicts>10</maxConflicts>
    <device id="${id[a]}"></device>
    <device id="${id[b]}"></device>
  </folder>
  <device id="${id[$1]}" name="$1"><address>dynamic</address></device>
  <device id="${id[$2]}" name="$2"><address>tcp://127.0.0.1:${port[$2]}</address></device>
  <gui enabled="false"></gui>
  <options>
    <listenAddress>tcp://127.0.0.1:${port[$1]}</listenAddress>
    <globalAnnounceEnabled>false</globalAnnounceEnabled>
    <localAnnounceEnabled>false</localAnnounceEnabled>
    <relaysEnabled>false</relaysEnabled>
    <natEnabled>false</natEnabled>
    <stunKeepaliveStartS>0</stunKeepaliveStartS>
    <urAccepted>-1</urAccepted>
    <autoUpgradeIntervalH>0</autoUpgradeIntervalH>
    <crashReportingEnabled>false</crashReportingEnabled>
    <startBrowser>false</startBrowser>
    <reconnectionIntervalS>1</reconnectionIntervalS>
  </options>
</configuration>
EOF
}

start() {
  HOME=$work/$1 STNOUPGRADE=1 syncthing serve --home="$work/$1/home" --no-browser --no-restart \
    --logflags=0 >>"$work/$1/syncthing.log" 2>&1 &
  pid[$1]=$!
}

# Runs PC $1's Quorvel for one act, its Recycle Bin in the work folder.
quorvel() {
  local folder="Z:$work/$1/folder"
  XDG_DATA_HOME=$work/data timeout 60 wine "$pc" "$exe" "${folder//\//\\}" "$2"
}

record() { cat "$work/$1/folder/Quorvel.ini" 2>/dev/null | tr -d '\r'; }
key() { record "$1" | sed -n "/^\[$2\]/,/^\[/s/^$3=//p" | head -n 1; }
copies() { find "$work/$1/folder" -maxdepth 1 -name 'Quorvel.sync-conflict-*' | wc -l; }
same_records() { [ -n "$(record a)" ] && [ "$(record a)" = "$(record b)" ]; }
copy_in_both() { [ "$(copies a)" -gt 0 ] && [ "$(copies b)" -gt 0 ]; }
merged_in_both() {
  for p in a b; do
    [ "$(key $p SMITH NEXT)" = "$order" ] && [ "$(key $p TAILOR SKILL)" = 60.1 ] && [ "$(copies $p)" -eq 0 ] || return 1
  done
}
show() { for p in a b; do echo "  $p: smith NEXT=$(key $p SMITH NEXT), tailor SKILL=$(key $p TAILOR SKILL), copies $(copies $p)"; done; }

rm -rf "$work"
mkdir -p "$work/data"
make_pc a
make_pc b
configure a b
configure b a
start a
start b
printf '[SMITH]\r\nAVAILABLE=1\r\nSKILL=50.0\r\nNEXT=%d\r\n[TAILOR]\r\nAVAILABLE=1\r\nSKILL=60.0\r\nNEXT=0\r\n' \
  $(($(date +%s) - 600)) >"$work/a/folder/Quorvel.ini"
wait_until 60 "the first record reaching B" same_records

stop b
quorvel a order
order=$(key a SMITH NEXT)
sleep 1.1
quorvel b upskill
echo "A received an order (NEXT=$order) and exited; B stepped the tailor to $(key b TAILOR SKILL) while its Syncthing was stopped"
start b
wait_until 60 "B's newer record winning in both folders, A's becoming a conflict copy" \
  eval 'same_records && copy_in_both'
echo "Syncthing resolved the conflict:"
show
quorvel a watch
wait_until 60 "both records holding A's order and B's step, with no copy left" merged_in_both
echo "A's Quorvel merged the copy:"
show
ls "$work/data/Trash/files" | grep -q '^Quorvel\.sync-conflict-' || { echo "FAILED: the copy is not in the Recycle Bin"; exit 1; }
echo "PASSED"
