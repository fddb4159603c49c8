#!/usr/bin/env bash
# orbstage.exe under Wine against the simulated device: one case per run.
source "$(dirname "$0")/wine_lib.sh"

CONFIRM_TEXT='The following information was extracted\r\nfrom your ORB. Please click \"Upgrade\"\r\nif you would like to proceed. If you would\r\nlike to quit click \"Cancel\".'

# Warning and address dialog share the model's title: each dialog is left
# for good before the next is looked for.
TO_STATUS='window "ORBQ4x4 Firmware Upgrade"
click 1
closed
window "ORBQ4x4 Firmware Upgrade"
text 1015 "Version 7.5.3"
set-ip 127.0.0.2
click 1'

case ${1:?case} in
single_stage)
  P=orbstage-fast
  start_wine
  start_sim --user admin --password secret --restart-seconds 1
  start_program $P
  drive <<EOF
timeout 60
$TO_STATUS
window "Enter Password Information"
set-text 1005 secret
click 1
window "Confirm Upgrade to Ver. 7.5.3"
text 1007 "$CONFIRM_TEXT"
click 1
window-prefix "Uploading Target Firmware to ORB@127.0.0.2 "
title "Updating Target Firmware to ORB@127.0.0.2"
window "ORB@127.0.0.2 Upgrade Successful!"
text 1004 7.5.3
click 1
closed
EOF
  wait_program 30
  expect_exit_zero
  expect_driver 'Uploading Target Firmware to ORB@127\.0\.0\.2 [0-9]+/4200090 Bytes'
  [ "$(count_sim 'upgrade?tftp')" = 1 ] || fail "one trigger expected"
  expect_sim 'upgrade?tftp://127.0.0.1:69/orb[0-9a-f]*\.bi1 '
  expect_received $P
  ;;

staged)
  # The transition image first, then the target image after a second trigger.
  P=orbstage-staged-fast
  start_wine
  start_sim --restart-seconds 1
  start_program $P
  drive <<EOF
timeout 60
$TO_STATUS
window "Confirm Upgrade to Ver. 7.5.3"
text 1007 "$CONFIRM_TEXT\r\n\r\nNote: Since your current firmware version\r\nis older than 7.1.0, this upgrade procedure\r\nrequires additional steps and will be\r\nslightly longer.\r\n"
click 1
window-prefix "Uploading Transition Firmware to ORB@127.0.0.2 "
title "Updating Transition Firmware to ORB@127.0.0.2"
window-prefix "Uploading Target Firmware to ORB@127.0.0.2 "
title "Updating Target Firmware to ORB@127.0.0.2"
window "ORB@127.0.0.2 Upgrade Successful!"
click 1
closed
EOF
  wait_program 30
  expect_exit_zero
  triggers=$(grep -o 'upgrade?tftp://[0-9.]*:[0-9]*/orb[0-9a-f]*\.bi[01]' "$WORK/sim.log")
  [ "$(wc -l <<<"$triggers")" = 2 ] || fail "two triggers expected: $triggers"
  [[ $(head -1 <<<"$triggers") == *.bi0 && $(tail -1 <<<"$triggers") == *.bi1 ]] || fail "file names: $triggers"
  expect_received $P
  ;;

*) fail "unknown case $1" ;;
esac
pass
