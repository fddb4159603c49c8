#!/usr/bin/env bash
# orbflash recovering a device in recovery mode, found by its serial number.
source "$(dirname "$0")/e2e_lib.sh"
P=orbflash-fast
# Welcome: Recover Firmware; serial typed in lower case; local address; Continue.
RECOVER='recover firmware\norb0012345\n\n\n'

case ${1:?case} in
found_and_flashed)
  start_sim --recovery --serial ORB0012345 --product ORBQ4x4 --mac 02:1a:2b:3c:4d:5e --version 6.0.1 --hardware 2.0 --restart-seconds 1
  run_program $P "$RECOVER\n\n"
  expect_exit_zero
  expect_no_error
  expect_out 'Connecting with ORB@ORB0012345'
  expect_out 'MAC Address: 021A2B3C4D5E'
  expect_out 'Software Version: 6.0.1'
  expect_out 'Hardware Version: 2.0'
  expect_out 'Serial Number: ORB0012345'
  expect_out 'Uploading Firmware to ORB@ORB0012345'
  expect_out '== ORB@ORB0012345 Upgrade Successful! =='
  expect_sim 'RRQ /orb[0-9a-f]*\.bin to 234.4.8.10'
  # No web request before the upload: facts and address came from discovery.
  first_get=$(grep -n 'GET ' "$WORK/sim.log" | head -1 | cut -d: -f1)
  rrq=$(grep -n 'RRQ' "$WORK/sim.log" | head -1 | cut -d: -f1)
  [ -z "$first_get" ] || [ "$first_get" -gt "$rrq" ] || fail "a web request came before the upload"
  expect_received $P
  ;;

wrong_answer_size)
  start_sim --recovery --serial ORB0012345 --answer-size "${2:-99}"
  run_program $P "$RECOVER" 60
  expect_exit_zero
  expect_error 'Recovery Failed: Cannot find the specified device!'
  expect_no_sim 'RRQ'
  ;;

no_device)
  run_program $P "$RECOVER" 60
  expect_exit_zero
  expect_error 'Recovery Failed: Cannot find the specified device!'
  ;;

*) fail "unknown case $1" ;;
esac
pass
