#!/usr/bin/env bash
# orbflash on a LAN that holds more than the device: a second host that
# knows the file name or floods the listener, and a device that bends the
# protocols. Each case checks what the user sees and what the device got.
source "$(dirname "$0")/e2e_lib.sh"
P=orbflash-fast
ROGUE=$(dirname "$0")/../support/rogue.py

# start_rogue ARGS...: the second host, its log in rogue.log.
start_rogue() {
  python3 "$ROGUE" "$@" >"$WORK/rogue.log" 2>&1 &
  ROGUE_PID=$!
  trap 'kill $ROGUE_PID 2>/dev/null; cleanup' EXIT
}

case ${1:?case} in
# Who is served, and who is believed.
foreign_host_refused)
  # The other host asks for the right name before the device does: it is
  # refused, and the status read after the upload goes to the device.
  start_sim --restart-seconds 1 --fetch-delay 1500
  start_rogue steal --address 127.0.0.3 --sim-log "$WORK/sim.log"
  wait_for_log rogue.log 'rogue: ready' 10
  run_program $P "$FLASH_TO_STATUS\n\n"
  expect_exit_zero
  expect_no_error
  expect_out 'Upgrade Successful!'
  grep -q 'rogue: refused ERROR 2' "$WORK/rogue.log" || fail "the other host was not refused: $(cat "$WORK/rogue.log")"
  ! grep -q 'rogue: http GET' "$WORK/rogue.log" || fail "the other host was asked for the status page"
  expect_received $P
  ;;

other_version_after_restart)
  start_sim --restart-seconds 1 --version-after 9.9.9
  run_program $P "$FLASH_TO_STATUS\n"
  expect_exit_zero
  expect_error 'Upgrade Failed: Version not matching'
  expect_no_out 'Upgrade Successful'
  expect_received $P
  ;;

# Waiting.
flood_during_upload)
  start_sim --restart-seconds 1
  start_rogue flood --address 127.0.0.3 --to 127.0.0.1:69 --rate 2000
  wait_for_log rogue.log 'rogue: flooding' 10
  run_program $P "$FLASH_TO_STATUS\n\n"
  expect_exit_zero
  expect_no_error
  expect_out 'Upgrade Successful!'
  expect_received $P
  ;;

trigger_refused_note)
  # A device that refuses the trigger and never fetches: the waiting window
  # says what it answered, and waits for Cancel as ever.
  start_sim --trigger-status 403 --no-fetch
  start_program $P "$FLASH_TO_STATUS\n"
  wait_for_log out 'Note: The ORB answered the upgrade request with HTTP 403' 30
  kill -INT "$PROGRAM_PID"
  wait_program 20
  expect_exit_zero
  expect_error 'Upgrade Failed: User Abort'
  ;;

fetch_unconfirmed_note)
  # A device in recovery that takes no fetch command: the note says so.
  start_sim --recovery --ignore-fetches 10
  start_program $P "recover firmware\norb0012345\n\n\n\n"
  wait_for_log out 'Note: The ORB did not confirm the fetch command' 40
  kill -INT "$PROGRAM_PID"
  wait_program 20
  expect_exit_zero
  expect_error 'Upgrade Failed: User Abort'
  ;;

# The device's own words.
device_tftp_error)
  start_sim --restart-seconds 1 --tftp-error-after 10
  run_program $P "$FLASH_TO_STATUS\n"
  expect_exit_zero
  expect_error 'Upgrade Failed: TFTP error 3 from ORB: Disk full or allocation exceeded'
  expect_no_out 'Updating Firmware'
  # The command line shows the device's text and never obeys it: in its
  # last line and in a fleet's log of the device.
  stop_sim
  start_sim --restart-seconds 1 --tftp-error-after $'10:3:full\e]0;owned\a\e[2J'
  echo 127.0.0.2 >"$WORK/devices"
  timeout 120 "$(program_path $P)" upgrade --devices "$WORK/devices" --yes --log-dir "$WORK" </dev/null \
    >"$WORK/out" 2>"$WORK/err"
  grep -q 'TFTP error 3 from ORB: full\\x1b\]0;owned\\x07' "$WORK/127.0.0.2.log" || fail "no escaped error in the log"
  expect_err 'TFTP error 3 from ORB: full\\x1b'
  ! grep -q $'\e' "$WORK/err" "$WORK/127.0.0.2.log" || fail "an escape byte reached the terminal or the log"
  ;;

refetch_from_new_port)
  start_sim --restart-seconds 1 --refetch-after 30
  run_program $P "$FLASH_TO_STATUS\n\n"
  expect_exit_zero
  expect_no_error
  expect_out 'Upgrade Successful!'
  [ "$(grep -c 'TFTP RRQ' "$WORK/sim.log")" = 2 ] || fail "two read requests expected"
  expect_received $P
  ;;

device_text_escaped)
  # Escape sequences in what the device reports are shown, not obeyed.
  start_sim --product $'ORB\e[2J\e]0;owned\a' --serial $'SN\e[31m1' --restart-seconds 1
  run_program $P "$FLASH_TO_STATUS""cancel\n"
  expect_exit_zero
  expect_out 'Product Name: ORB\\x1b\[2J\\x1b\]0;owned\\x07'
  expect_out 'Serial Number: SN\\x1b\[31m1'
  ! grep -q $'\e' "$WORK/out" "$WORK/err" || fail "an escape byte reached the terminal"
  ;;

*) fail "unknown case $1" ;;
esac
pass
