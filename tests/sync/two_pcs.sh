#!/usr/bin/env bash
# Two PCs share the record's folder through two Syncthing instances on loopback. A
# receives an order and exits; B steps a skill while its Syncthing is stopped; B's
# Syncthing starts again, so that B's newer file wins and A's becomes a conflict copy in
# both folders; then A's Quorvel starts. Passes when both records hold A's order and B's
# step, no copy is left in either folder (A's is in the Recycle Bin), and A's lamp never
# turned red. Then a second day: B saves a tailor step with an order and holds another
# step unsaved while A, offline, receives an order; A comes back and its newer file wins on B. Passes when both
# records hold A's order and B's unsaved step. Runs under the suite's Wine; exits 77
# (skipped) without syncthing.
#   two_pcs.sh WORK_DIR Quorvel.exe pc.exe
set -euo pipefail
work=$1/two_pcs exe="Z:${2//\//\\}" pc=$3
command -v syncthing >/dev/null || { echo "SKIPPED: syncthing is not installed here"; exit 77; }
declare -A pid id port

# Stops PC $1's Syncthing by its PID, also when the test fails.
stop() {
  [ -n "${pid[$1]:-}" ] || return 0
  kill "${pid[$1]}" 2>/dev/null || true
  for i in $(seq 50); do kill -0 "${pid[$1]}" 2>/dev/null && sleep 0.1; done
  kill -9 "${pid[$1]}" 2>/dev/null || true
  pid[$1]=""
}
trap 'stop a; stop b' EXIT

# Polls a condition five times a second for at most the given seconds.
wait_until() {
  local seconds=$1 what=$2
  shift 2
  for i in $(seq $((seconds * 5))); do "$@" && return 0; sleep 0.2; done
  echo "FAILED: $what within $seconds s"
  show
  exit 1
}

# Gives PC $1 a key, a free port on loopback and an empty folder with Syncthing's marker.
make_pc() {
  mkdir -p "$work/$1/folder/.stfolder"
  timeout 30 syncthing generate --home="$work/$1/home" --no-default-folder --skip-port-probing >/dev/null 2>&1
  id[$1]=$(timeout 30 syncthing serve --home="$work/$1/home" --device-id)
  port[$1]=$((20000 + RANDOM % 40000))
  while (exec 3<>"/dev/tcp/127.0.0.1/${port[$1]}") 2>/dev/null; do port[$1]=$((20000 + RANDOM % 40000)); done
}

# PC $1 shares its folder with PC $2 at a static loopback address; discovery, relays, NAT
# traversal, reporting and upgrades are off, and conflict copies on.
configure() {
  cat >"$work/$1/home/config.xml" <<EOF
<configuration version="36">
  <folder id="quorvel" path="$work/$1/folder" rescanIntervalS="60" fsWatcherEnabled="true" fsWatcherDelayS="1">
    <maxConflicts>10</maxConflicts><device id="${id[a]}"></device><device id="${id[b]}"></device>
  </folder>
  <device id="${id[$2]}" name="$2"><address>tcp://127.0.0.1:${port[$2]}</address></device>
  <device id="${id[$1]}" name="$1"><address>dynamic</address></device>
  <gui enabled="false"></gui>
  <options><listenAddress>tcp://127.0.0.1:${port[$1]}</listenAddress>
    <globalAnnounceEnabled>false</globalAnnounceEnabled><localAnnounceEnabled>false</localAnnounceEnabled>
    <relaysEnabled>false</relaysEnabled><natEnabled>false</natEnabled><stunKeepaliveStartS>0</stunKeepaliveStartS>
    <urAccepted>-1</urAccepted><crashReportingEnabled>false</crashReportingEnabled>
    <autoUpgradeIntervalH>0</autoUpgradeIntervalH><reconnectionIntervalS>1</reconnectionIntervalS></options>
</configuration>
EOF
}

start() {
  HOME=$work/$1 STNOUPGRADE=1 syncthing serve --home="$work/$1/home" --no-browser --no-restart \
    >>"$work/$1/syncthing.log" 2>&1 &
  pid[$1]=$!
}

# Runs PC $1's Quorvel for one act ($2), with its Recycle Bin in the work folder.
quorvel() {
  local folder="Z:$work/$1/folder"
  XDG_DATA_HOME=$work/data timeout 100 wine "$pc" "$exe" "${folder//\//\\}" "$2"
}

record() { tr -d '\r' <"$work/$1/folder/Quorvel.ini"; }
key() { record "$1" | sed -n "/^\[$2\]/,/^\[/s/^$3=//p"; }
copies() { find "$work/$1/folder" -maxdepth 1 -name 'Quorvel.sync-conflict-*' | wc -l; }
in_step() { [ -f "$work/b/folder/Quorvel.ini" ] && [ "$(record a)" = "$(record b)" ]; }
in_conflict() { in_step && [ "$(copies a)" = 1 ] && [ "$(copies b)" = 1 ]; }
merged() { in_step && [ "$(key a SMITH NEXT) $(key a TAILOR SKILL) $(copies a) $(copies b)" = "$order $1 0 0" ]; }
saved() { [ "$(key b TAILOR SKILL)" = "$1" ]; }
show() { for p in a b; do echo "  $p: blacksmith NEXT=$(key $p SMITH NEXT), tailor SKILL=$(key $p TAILOR SKILL), $(copies $p) copies"; done; }

rm -rf "$work"
mkdir -p "$work/data"
make_pc a && make_pc b && configure a b && configure b a && start a && start b
printf '[SMITH]\r\nAVAILABLE=1\r\nNEXT=%d\r\n[TAILOR]\r\nAVAILABLE=1\r\nSKILL=60.0\r\n' $(($(date +%s) - 600)) >"$work/a/folder/Quorvel.ini"
wait_until 60 "the record reaching B" in_step
stop b
quorvel a order
order=$(key a SMITH NEXT)
sleep 1.1
quorvel b upskill
echo "A received an order (NEXT=$order) and exited; B stepped the tailor while its Syncthing was stopped"
start b
wait_until 60 "B's newer record winning, A's becoming a conflict copy in both folders" in_conflict
show
quorvel a watch
wait_until 60 "both records holding A's order and B's step, with no copy left" merged 60.1
show
ls "$work/data/Trash/files" | grep -q '^Quorvel\.sync-conflict-' || { echo "FAILED: the copy is not in the Recycle Bin"; exit 1; }

stop a
quorvel b stepheld >"$work/b.log" 2>&1 &
held=$!
wait_until 30 "B saving its tailor step" saved 60.2
sleep 1.1
quorvel a order
order=$(key a SMITH NEXT)
echo "B saved the tailor at 60.2 with an order and holds 60.3 unsaved; A, offline, received an order (NEXT=$order) later"
start a
wait $held || { cat "$work/b.log"; echo "FAILED: B's Quorvel saw no conflict copy come and go, or alerted"; exit 1; }
wait_until 60 "both records holding A's order and B's unsaved step, with no copy left" merged 60.3
show
echo PASSED
