#!/usr/bin/env bash
# orbflash against a device whose web server misbehaves: one case per run.
source "$(dirname "$0")/e2e_lib.sh"
P=orbflash-fast
SUCCESS_DIALOG='\n'

# The run ended with the upgrade done and the image in the device.
expect_upgraded() {
  expect_exit_zero
  expect_no_error
  expect_out 'Upgrade Successful!'
  expect_received $P
}

# Every answer was held open for 60 s, and no held connection was let go
# by the device: each exchange was ended by our side.
expect_we_closed_held() {
  expect_sim 'holding the connection open for 60 s'
  expect_no_sim 'closing the held connection'
}

case ${1:?case} in
error_page_after_restart)
  # The restarted device answers 500 with its facts in the body: no status page.
  start_sim --restart-seconds 1 --after-restart-status 500
  run_program $P "$FLASH_TO_STATUS\n" 150
  expect_exit_zero
  expect_error 'Upgrade Failed: ORB not responding after firmware upload'
  expect_no_out 'Upgrade Successful'
  expect_sim 'GET /admin/advanced -> 500 (after the restart'
  expect_received $P
  ;;

trigger_refused_but_fetched)
  start_sim --restart-seconds 1 --trigger-status 403
  run_program $P "$FLASH_TO_STATUS\n$SUCCESS_DIALOG"
  expect_upgraded
  expect_sim 'GET /admin/upgrade?tftp://.* -> 403 (upgrade started)'
  ;;

trickle)
  start_sim --restart-seconds 1 --http-trickle 5 --http-hold 60
  run_program $P "$FLASH_TO_STATUS\n$SUCCESS_DIALOG"
  expect_upgraded
  expect_sim 'http: trickling'
  expect_no_sim 'the client left'
  expect_we_closed_held
  ;;

hold)
  start_sim --restart-seconds 1 --http-hold 60
  run_program $P "$FLASH_TO_STATUS\n$SUCCESS_DIALOG"
  expect_upgraded
  expect_we_closed_held
  ;;

chunked)
  # The body comes in chunks, one boundary inside the version.
  start_sim --restart-seconds 1 --http-chunked
  run_program $P "$FLASH_TO_STATUS\n$SUCCESS_DIALOG"
  expect_upgraded
  expect_sim 'body sent chunked'
  grep -qx 'Software Version: 7.0.0' "$WORK/out" || fail "the confirm dialog lacks 'Software Version: 7.0.0' exactly"
  ;;

challenge_variants)
  # HTTP/1.0, lower-case header names, algorithm=MD5-sess unquoted.
  start_sim --user admin --password secret --http10 --header-case lower --algorithm md5-sess --algorithm-unquoted \
    --restart-seconds 1
  run_program $P "$FLASH_TO_STATUS$PASSWORD\n$SUCCESS_DIALOG"
  expect_upgraded
  [ "$(count_out '== Enter Password Information ==')" = 1 ] || fail "one password prompt expected"
  expect_sim 'GET /admin/upgrade?tftp://.* -> 200'
  ;;

nonce_injection)
  # The nonce carries CR LF and a header line of its own; two password
  # answers, then the input ends.
  start_sim --user admin --password secret --nonce $'abc\r\nX-Injected: 1'
  run_program $P "$FLASH_TO_STATUS$PASSWORD$PASSWORD"
  expect_exit_zero
  expect_error 'Upgrade Failed: User Abort'
  [ "$(count_out '== Enter Password Information ==')" -ge 2 ] || fail "the password dialog at least twice"
  expect_sim 'http: header "Host: 192.168.2.110"'
  expect_no_sim 'http: header "X-Injected'
  expect_no_sim 'upgrade?tftp'
  expect_no_out 'Confirm Upgrade'
  ;;

*) fail "unknown case $1" ;;
esac
pass
