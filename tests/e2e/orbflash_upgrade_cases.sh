#!/usr/bin/env bash
# orbflash upgrades end to end against the simulated device: one case per run.
source "$(dirname "$0")/e2e_lib.sh"
P=orbflash-fast
SUCCESS_DIALOG='\n'

case ${1:?case} in
no_authentication)
  start_sim --restart-seconds 1
  run_program $P "$FLASH_TO_STATUS\n$SUCCESS_DIALOG"
  expect_exit_zero
  expect_no_error
  expect_no_out 'Enter Password Information'
  expect_out 'Confirm Upgrade to Ver. 7.5.3'
  expect_out 'Serial Number: ORB0012345'
  expect_out '== ORB@127.0.0.2 Upgrade Successful! =='
  expect_sim 'GET /admin/upgrade?tftp://127.0.0.1:69/orb[0-9a-f]*\.bi1 -> 200'
  [ "$(count_sim 'TFTP RRQ')" = 1 ] || fail "one read request expected"
  expect_received $P
  ;;

digest)
  # The password dialog once; every later request, the post-upload read
  # included, carries credentials (the device restarts with a new nonce:
  # one silent retry, no second prompt).
  start_sim --user admin --password secret --qop auth --opaque 5ccc069c403ebaf9 --restart-seconds 1
  run_program $P "$FLASH_TO_STATUS$PASSWORD\n$SUCCESS_DIALOG"
  expect_exit_zero
  expect_no_error
  [ "$(count_out '== Enter Password Information ==')" = 1 ] || fail "one password prompt expected"
  [ "$(count_sim ' -> 401 (no credentials')" = 1 ] || fail "only the first request may lack credentials"
  expect_sim 'GET /admin/upgrade?tftp://.* -> 200'
  [ "$(count_sim 'GET /admin/advanced -> 200')" = 2 ] || fail "status read before and after the upload"
  [ "$(count_sim '^orbsim: GET ')" = 5 ] || fail "a device that takes the empty uri sees the 5 requests it always saw"
  expect_out 'Upgrade Successful!'
  expect_received $P
  ;;

md5_sess_and_nonce_renewal)
  start_sim --user admin --password secret --qop auth,auth-int --algorithm md5-sess --nonce-every 2 --restart-seconds 1
  run_program $P "$FLASH_TO_STATUS$PASSWORD\n$SUCCESS_DIALOG"
  expect_exit_zero
  expect_no_error
  [ "$(count_out '== Enter Password Information ==')" = 1 ] || fail "a renewed nonce must not prompt again"
  expect_received $P
  ;;

strict_uri)
  # ALGORITHM QOP, the uri held to the request's own: one 400, then that uri for the rest of the run;
  # md5-sess without qop no device can check (no cnonce goes out): refused after the second form.
  start_sim --user admin --password secret --algorithm "$2" --qop "$3" --strict-uri --restart-seconds 1
  unusable=$([ "$2:$3" = md5-sess:none ] && echo 1)
  run_program $P "$FLASH_TO_STATUS$PASSWORD${unusable:-\n$SUCCESS_DIALOG}"
  [ "$(count_sim ' -> 400 (uri mismatch: <> is not </admin/advanced>)')" = 1 ] || fail "one 400, to the empty uri"
  [ -n "$unusable" ] && { [ "$(count_sim '^orbsim: GET ')" = 3 ] || fail "401, 400, 401 expected"; pass; }
  expect_no_error
  expect_received $P
  ;;

wrong_password_then_right)
  start_sim --user admin --password secret --restart-seconds 1
  run_program $P "$FLASH_TO_STATUS\nwrong\n\n$PASSWORD\n$SUCCESS_DIALOG"
  expect_exit_zero
  expect_no_error
  [ "$(count_out '== Enter Password Information ==')" = 2 ] || fail "the password dialog twice"
  expect_received $P
  ;;

port_69_taken)
  # The blocker says when it holds the port; only then is the case set up.
  python3 -u -c 'import socket,time; s=socket.socket(socket.AF_INET,socket.SOCK_DGRAM); s.bind(("127.0.0.1",69)); print("bound"); time.sleep(60)' \
    >"$WORK/blocker.log" 2>&1 &
  BLOCKER=$!
  trap 'kill $BLOCKER 2>/dev/null; cleanup' EXIT
  wait_for_log blocker.log '^bound$' 10
  start_sim --restart-seconds 1
  run_program $P "$FLASH_TO_STATUS\n$SUCCESS_DIALOG"
  expect_exit_zero
  expect_sim 'GET /admin/upgrade?tftp://127.0.0.1:70/orb'
  expect_received $P
  ;;

address_cancelled)
  start_sim
  run_program $P '\ncontinue\n127.0.0.2\n\ncancel\n'
  expect_exit_zero
  expect_no_error
  expect_no_sim 'GET'
  ;;

invalid_address_then_valid)
  start_sim --restart-seconds 1
  run_program $P "\ncontinue\n0.0.0.0\n\n\n127.0.0.2\n\n\n\n$SUCCESS_DIALOG"
  expect_exit_zero
  grep -q '^Error: Invalid IP Address$' "$WORK/err" || fail "no 'Invalid IP Address' box"
  expect_received $P
  ;;

empty_status_response)
  start_sim --http-close
  run_program $P "$FLASH_TO_STATUS"
  expect_exit_zero
  expect_error 'Upgrade Failed: No Response From ORB'
  expect_no_out 'Confirm Upgrade'
  ;;

confirmation_declined)
  start_sim
  run_program $P "$FLASH_TO_STATUS""cancel\n"
  expect_exit_zero
  expect_error 'Upgrade Failed: User Abort'
  expect_no_sim 'upgrade?tftp'
  ;;

cancel_during_upload)
  # The device stops acknowledging; Ctrl+C presses the upload window's Cancel.
  start_sim --stall-after 50 --tftp-retries 1000 --tftp-deadline 120
  start_program $P "$FLASH_TO_STATUS\n"
  wait_for_log sim.log 'stall' 60
  kill -INT "$PROGRAM_PID"
  wait_program 20
  expect_exit_zero
  expect_error 'Upgrade Failed: User Abort'
  ;;

tftp_time_out)
  # 300 periods of 100 idle polls without a matching acknowledgement.
  start_sim --stall-after 20 --tftp-retries 1000 --tftp-deadline 200
  run_program $P "$FLASH_TO_STATUS\n" 150
  expect_exit_zero
  expect_error 'Upgrade Failed: TFTP time out'
  expect_no_out 'Updating Firmware'
  ;;

silent_after_restart)
  start_sim --restart-seconds 1 --mute-after-restart
  run_program $P "$FLASH_TO_STATUS\n" 150
  expect_exit_zero
  expect_error 'Upgrade Failed: ORB not responding after firmware upload'
  expect_no_out 'Upgrade Successful'
  expect_received $P
  ;;

real_waits)
  # The release build: ORBQ4x4 waits 3905 ticks of 32 ms for the restart.
  P=orbflash
  start_sim --restart-seconds 5
  run_program $P "$FLASH_TO_STATUS\n$SUCCESS_DIALOG" 400
  expect_exit_zero
  expect_no_error
  expect_out 'Upgrade Successful!'
  expect_received $P
  ;;

*) fail "unknown case $1" ;;
esac
pass
