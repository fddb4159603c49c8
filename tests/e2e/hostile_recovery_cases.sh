#!/usr/bin/env bash
# orbflash recovering a device while other hosts answer its searches wrongly
# (tests/support/rogue.py on 127.0.0.4 and up), or the device itself answers
# twice and misses a fetch.
source "$(dirname "$0")/e2e_lib.sh"
P=orbflash-fast
ROGUE=$(dirname "$0")/../support/rogue.py
# Welcome: Recover Firmware; serial; local address; Continue; Upgrade; OK.
RECOVER='recover firmware\norb0012345\n\n\n\n\n'
ROGUE_PIDS=

# Rogues end before the library's cleanup, which waits for every child.
trap 'for pid in $ROGUE_PIDS; do kill "$pid" 2>/dev/null; done; cleanup' EXIT

# start_rogue N MODE: a wrong answerer on 127.0.0.N, logging to rogueN.log.
start_rogue() {
  python3 "$ROGUE" recovery --address "127.0.0.$1" --mode "$2" >"$WORK/rogue$1.log" 2>&1 &
  ROGUE_PIDS="$ROGUE_PIDS $!"
  wait_for_log "rogue$1.log" 'rogue: ready' 10
}

# The device, with facts that no rogue claims.
start_device() {
  start_sim --recovery --serial ORB0012345 --product ORBQ2x2 --mac 02:1a:2b:3c:4d:5e --version 6.0.1 \
    --hardware 2.0 --restart-seconds 1 "$@"
}

# The user saw the device's own facts and a successful recovery; the device
# got the whole image.
expect_recovered() {
  expect_exit_zero
  expect_no_error
  expect_out 'Serial Number: ORB0012345'
  expect_out 'MAC Address: 021A2B3C4D5E'
  expect_out 'Software Version: 6.0.1'
  expect_out 'Hardware Version: 2.0'
  expect_out 'Product Name: ORBQ2x2'
  expect_out '== ORB@ORB0012345 Upgrade Successful! =='
  expect_sim 'recovery: fetching /orb[0-9a-f]*\.bin'
  expect_received $P
}

# recover_behind_rogue N MODE: a rogue on 127.0.0.N answers the first search
# alone (the device starts only after that), then alongside the device.
recover_behind_rogue() {
  start_rogue "$1" "$2"
  start_program $P "$RECOVER"
  wait_for_log "rogue$1.log" 'answered search for ORB0012345' 20
  start_device
  wait_program 90
}

case ${1:?case} in
rogue)
  # Another serial, junk, or the serial at 0.0.0.0, 224.1.2.3, 255.255.255.255.
  recover_behind_rogue 4 "${2:?mode}"
  expect_recovered
  expect_no_out 'Serial Number: ROGUE0001'
  expect_no_out 'MAC Address: 000E08123456'
  ;;

burst)
  # 30 random 100-byte datagrams for every search, the first ones ahead of
  # the device's answer.
  recover_behind_rogue 4 burst
  expect_recovered
  ;;

answer_twice_fetch_lost)
  # The second answer to the search must not stand for the fetch's answer:
  # the ignored fetch goes out again.
  start_device --answer-twice --ignore-fetches 1
  run_program $P "$RECOVER" 90
  expect_recovered
  expect_sim 'search for serial ORB0012345 from 127.0.0.1 -> answered with 100 bytes to port 4811 (again)'
  [ "$(count_sim 'fetch 1 of 1 for serial ORB0012345 ignored')" = 1 ] || fail "the first fetch was not the ignored one"
  expect_sim 'fetch for serial ORB0012345 from 127.0.0.1 -> answered'
  expect_no_out 'did not confirm'
  ;;

*) fail "unknown case $1" ;;
esac
pass
