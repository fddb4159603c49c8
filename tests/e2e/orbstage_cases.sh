#!/usr/bin/env bash
# orbstage end to end: single stage, staged, version check.
source "$(dirname "$0")/e2e_lib.sh"

case ${1:?case} in
single_stage)
  P=orbstage-fast
  start_sim --user admin --password secret --restart-seconds 1
  run_program $P "$STAGE_TO_STATUS$PASSWORD\n\n"
  expect_exit_zero
  expect_no_error
  expect_out '== ORBQ4x4 Firmware Upgrade =='
  expect_no_out 'is older than'
  expect_out 'Uploading Target Firmware to ORB@127.0.0.2 4200090/4200090 Bytes'
  [ "$(count_sim 'upgrade?tftp')" = 1 ] || fail "one trigger expected"
  expect_sim 'upgrade?tftp://127.0.0.1:69/orb[0-9a-f]*\.bi1 '
  expect_out 'Upgrade Successful!'
  expect_received $P
  ;;

staged)
  P=orbstage-staged-fast
  start_sim --restart-seconds 1
  run_program $P "$STAGE_TO_STATUS\n\n" 180
  expect_exit_zero
  expect_no_error
  expect_out 'is older than 7.1.0, this upgrade procedure'
  expect_out 'Uploading Transition Firmware to ORB@127.0.0.2 1000000/1000000 Bytes'
  expect_out 'Uploading Target Firmware to ORB@127.0.0.2 4200090/4200090 Bytes'
  triggers=$(grep -o 'upgrade?tftp://[0-9.]*:[0-9]*/orb[0-9a-f]*\.bi[01]' "$WORK/sim.log")
  [ "$(wc -l <<<"$triggers")" = 2 ] || fail "two triggers expected: $triggers"
  first=$(head -1 <<<"$triggers"); second=$(tail -1 <<<"$triggers")
  [[ $first == *.bi0 && $second == *.bi1 ]] || fail "file names $first then $second"
  [ "${first%%/orb*}" = "${second%%/orb*}" ] || fail "the second trigger must use the same port"
  [ "${first##*/}" != "${second##*/}" ] || fail "the second trigger must use a new name"
  expect_out 'Upgrade Successful!'
  expect_received $P
  ;;

version_mismatch)
  P=orbstage-fast
  start_sim --restart-seconds 1 --version-after 9.9.9
  run_program $P "$STAGE_TO_STATUS\n\n"
  expect_exit_zero
  expect_error 'Upgrade Failed: Version not matching'
  expect_no_out 'Upgrade Successful'
  expect_received $P
  ;;

silent_after_restart)
  # Ten status reads go unanswered: the run says so instead of ending mute.
  P=orbstage-fast
  start_sim --restart-seconds 1 --mute-after-restart
  run_program $P "$STAGE_TO_STATUS\n"
  expect_exit_zero
  expect_error 'Upgrade Failed: ORB not responding after firmware upload'
  expect_received $P
  ;;

phone_exempt)
  # Not one of the named models: its restart wait is short, so the device
  # comes back at once.
  P=orbstage-phone-fast
  start_sim --restart-seconds 0 --version-after 9.9.9
  run_program $P "$STAGE_TO_STATUS\n\n"
  expect_exit_zero
  expect_no_error
  expect_out 'press the I button on the phone'
  expect_out 'Upgrade Successful!'
  expect_received $P
  ;;

real_waits)
  # The release build: ORBQ4x4 waits 3606 ticks of 32 ms for the restart.
  P=orbstage
  start_sim --restart-seconds 5
  run_program $P "$STAGE_TO_STATUS\n\n" 400
  expect_exit_zero
  expect_no_error
  expect_out 'Upgrade Successful!'
  expect_received $P
  ;;

*) fail "unknown case $1" ;;
esac
pass
