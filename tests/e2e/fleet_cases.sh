#!/usr/bin/env bash
# Fleets end to end: one orbsim process holds the devices, on 127.0.0.2 and
# up; orbflash-fast upgrades them with --devices.
source "$(dirname "$0")/e2e_lib.sh"
P=orbflash-fast

# start_fleet COUNT ORBSIM-OPTIONS...: the devices, each saving what it gets.
start_fleet() {
  local count=$1
  shift
  mkdir -p "$WORK/received"
  "$ORBSIM" --count "$count" --save-dir "$WORK/received" --log-time "$@" >"$WORK/sim.log" 2>&1 &
  SIM_PID=$!
  wait_for_log sim.log "\[127.0.0.$((count + 1))\] web server listening" 20
}

# devices_file FIRST LAST: one line per address, with a comment and a blank line.
devices_file() {
  { echo "# the office"; echo; for i in $(seq "$1" "$2"); do echo "127.0.0.$i"; done; } >"$WORK/devices"
}

case ${1:?case} in
mixed_twelve)
  # Device 3 has another password, 5 stays mute after its restart, 7 is
  # already current; three at a time.
  start_fleet 12 --user admin --password secret --restart-seconds 1 \
    --on 3 --password other --on 5 --mute-after-restart --on 7 --version 7.5.3
  devices_file 2 13
  echo secret >"$WORK/pw"
  RC=0
  timeout 300 "$(program_path $P)" upgrade --devices "$WORK/devices" --password-file "$WORK/pw" --yes --jobs 3 \
    --json --log-dir "$WORK" --restart-timeout 1 >"$WORK/out" 2>"$WORK/err" || RC=$?
  [ "$RC" = 9 ] || fail "exit code $RC, expected 9"
  for i in 2 3 5 7 9 10 11 12 13; do
    cmp -s "$WORK/received/127.0.0.$i.img" "$(image_of $P)" || fail "127.0.0.$i did not receive the image"
  done
  [ ! -e "$WORK/received/127.0.0.8.img" ] || fail "the current device was served"
  grep -q '127.0.0.4 .*ORB refused the user name and password (exit 4)' "$WORK/err" || fail "no refusal in the summary"
  grep -q '127.0.0.6 .*not responding after firmware upload (exit 7)' "$WORK/err" || fail "no silent device in the summary"
  grep -q '127.0.0.8 .*already current' "$WORK/err" || fail "no current device in the summary"
  grep -q '9 upgraded, 1 already current, 2 failed' "$WORK/err" || fail "wrong counts"
  python3 - "$WORK/out" <<'PY' || fail "JSON output"
import json, sys
events = [json.loads(line) for line in open(sys.argv[1])]
summary = events[-1]
assert summary["event"] == "summary" and summary["failed"] == 2 and summary["upgraded"] == 9, summary
assert all("device" in e for e in events[:-1])
assert sum(1 for e in events if e["event"] == "result") == 12
PY
  # Never more than three transfers at once, as the devices saw them.
  most=$(sed -n 's/.*tftp: transfer start, \([0-9]*\) running.*/\1/p' "$WORK/sim.log" | sort -n | tail -1)
  [ -n "$most" ] && [ "$most" -le 3 ] || fail "$most transfers at once"
  grep -q '"event":"result"' "$WORK/127.0.0.5.log" || fail "no events in the device's log"
  ;;

bad_lines)
  printf '127.0.0.2\n# fine\n127.0.0.300\n127.0.0.3 admin /no/such/file\n127.0.0.4 a b c\n' >"$WORK/devices"
  RC=0
  "$(program_path $P)" upgrade --devices "$WORK/devices" --yes >"$WORK/out" 2>"$WORK/err" || RC=$?
  [ "$RC" = 2 ] || fail "exit code $RC, expected 2"
  for line in 3 4 5; do grep -q "devices:$line: " "$WORK/err" || fail "line $line not reported"; done
  [ "$(wc -l <"$WORK/err")" = 3 ] || fail "more than the three bad lines: $(cat "$WORK/err")"
  ;;

interrupted)
  # The devices stall their transfers: the first Ctrl+C starts no one new,
  # the second cancels the two running.
  start_fleet 4 --restart-seconds 1 --stall-after 20 --tftp-retries 1000 --tftp-deadline 200
  devices_file 2 5
  "$(program_path $P)" upgrade --devices "$WORK/devices" --yes --jobs 2 >"$WORK/out" 2>"$WORK/err" &
  PROGRAM_PID=$!
  wait_for_log sim.log 'stall' 30
  kill -INT "$PROGRAM_PID"
  wait_for_log err 'stopping: no more devices start' 10
  kill -INT "$PROGRAM_PID"
  wait_program 30
  [ "$RC" = 9 ] || fail "exit code $RC, expected 9"
  [ "$(grep -c 'not started (stopped)' "$WORK/err")" = 2 ] || fail "two devices should not have started"
  [ "$(grep -cE '127\.0\.0\.[23] +ORB.*User Abort \(exit 130\)' "$WORK/err")" = 2 ] ||
    fail "the two running devices should be cancelled"
  ;;

ansible)
  # The playbook of docs/FLEETS.md, run by ansible-core on this host as one
  # site, against three simulated devices.
  start_fleet 3 --user admin --password secret --restart-seconds 1
  devices_file 2 4
  echo secret >"$WORK/pw"
  printf '[orb_sites]\nsite-a ansible_connection=local ansible_python_interpreter=/usr/bin/python3\n' >"$WORK/inventory"
  ANSIBLE_LOCAL_TEMP=$WORK/ansible ANSIBLE_NOCOLOR=1 ansible-playbook -i "$WORK/inventory" \
    "$(dirname "$0")/../../docs/ansible/orb-fleet.yml" -e "orb_program=$(program_path $P)" \
    -e "orb_devices_file=$WORK/devices" -e "orb_password_file=$WORK/pw" -e "orb_results_dir=$WORK/results" \
    >"$WORK/out" 2>"$WORK/err" || fail "ansible-playbook failed"
  python3 -c 'import json,sys; s=json.load(open(sys.argv[1])); assert s["upgraded"] == 3 and s["failed"] == 0, s' \
    "$WORK/results/site-a.json" || fail "no summary for the site"
  for i in 2 3 4; do
    cmp -s "$WORK/received/127.0.0.$i.img" "$(image_of $P)" || fail "127.0.0.$i did not receive the image"
  done
  grep -q 'site-a: 3 upgraded, 0 already current' "$WORK/out" || fail "no report line"
  ;;

*) fail "unknown case $1" ;;
esac
pass
