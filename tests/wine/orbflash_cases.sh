#!/usr/bin/env bash
# orbflash.exe under Wine against the simulated device, its dialogs driven
# through their controls: one case per run.
source "$(dirname "$0")/wine_lib.sh"
P=orbflash-fast

# Welcome: Upgrade Firmware; warning (titled by the model): Continue; then
# the address dialog with the image's version.
TO_ADDRESS="window \"$WELCOME\"
centred
default-button 1028
click 1028
closed
window \"ORBQ4x4 Firmware Upgrade\"
default-button 2
click 1
closed
window \"ORB Firmware Upgrade\"
default-button 1
text 1015 \"Version 7.5.3\"
text 1017 127.0.0.1"

# The titles the upload window showed while counting bytes, as numbers.
uploaded_counts() {
  grep -oE "Uploading Firmware to ORB@$1 [0-9]+/4200090 Bytes" "$WORK/driver.log" |
    sed -E 's/.* ([0-9]+)\/.*/\1/'
}

case ${1:?case} in
digest_upgrade)
  start_wine
  start_sim --user admin --password secret --qop auth --restart-seconds 1
  start_program $P
  drive <<EOF
timeout 60
$TO_ADDRESS
set-ip 127.0.0.2
click 1
window "Enter Password Information"
default-button 1
text 1003 admin
text 1005 ""
set-text 1005 secret
click 1
window "Confirm Upgrade to Ver. 7.5.3"
default-button 1
text 1002 ORB0012345
text 1003 000E08123456
text 1004 7.0.0
text 1005 1.0.2
text 1006 ORBQ4x4
click 1
window-prefix "Uploading Firmware to ORB@127.0.0.2 "
centred
title-changes
title "Updating Firmware to ORB@127.0.0.2"
window "ORB@127.0.0.2 Upgrade Successful!"
centred
default-button 1
text 1004 7.5.3
click 1
closed
EOF
  wait_program 30
  expect_exit_zero
  # The byte count in the title moved on during the upload.
  mid=$(uploaded_counts 127.0.0.2 | awk '$1 > 0 && $1 < 4200090' | head -1)
  [ -n "$mid" ] || fail "no title with a byte count between 0 and 4200090: $(uploaded_counts 127.0.0.2)"
  [ "$(count_sim ' -> 401 (no credentials')" = 1 ] || fail "only the first request may lack credentials"
  [ "$(count_sim 'GET /admin/advanced -> 200')" = 2 ] || fail "status read before and after the upload"
  expect_sim 'GET /admin/upgrade?tftp://127.0.0.1:69/orb[0-9a-f]*\.bi1 -> 200'
  expect_received $P
  ;;

recovery)
  # Found by its serial number over multicast; the second local address,
  # as the first one (127.0.0.1) would not see the group under Wine.
  start_wine
  start_sim --recovery --serial ORB0012345 --product ORBQ4x4 --mac 02:1a:2b:3c:4d:5e --version 6.0.1 \
    --hardware 2.0 --restart-seconds 1
  start_program $P
  drive <<EOF
timeout 60
window "$WELCOME"
click 1029
closed
window "ORB Firmware Recovery"
text 1032 "Version 7.5.3"
select 1017 1
set-text 1027 orb0012345
text 1027 ORB0012345
click 1
closed
window "Confirm Upgrade to Ver. 7.5.3"
text 1002 ORB0012345
text 1003 021A2B3C4D5E
text 1004 6.0.1
text 1005 2.0
text 1006 ORBQ4x4
click 1
window-prefix "Uploading Firmware to ORB@ORB0012345 "
title "Updating Firmware to ORB@ORB0012345"
window "ORB@ORB0012345 Upgrade Successful!"
text 1004 7.5.3
click 1
closed
EOF
  wait_program 30
  expect_exit_zero
  grep -q 'select 1017 1 -> "127.0.0.3"' "$WORK/driver.log" || fail "the second local address is not 127.0.0.3"
  expect_sim 'search for serial ORB0012345'
  expect_sim 'TFTP RRQ /orb[0-9a-f]*\.bin to 234.4.8.10:69'
  # Nothing over HTTP before the upload: facts and address came from the answer.
  ! sed '/TFTP done/q' "$WORK/sim.log" | grep -q 'GET ' || fail "an HTTP request before the upload"
  expect_received $P
  ;;

invalid_address_then_declined)
  start_wine
  start_sim
  start_program $P
  drive <<EOF
$TO_ADDRESS
clear-ip
key enter
message-box Error "Invalid IP Address"
ok
title "ORB Firmware Upgrade"
set-ip 127.0.0.2
click 1
closed
window "Confirm Upgrade to Ver. 7.5.3"
click 2
message-box "$ERROR_CAPTION" "Upgrade Failed: User Abort"
ok
EOF
  wait_program 20
  expect_exit_zero
  [ "$(count_sim 'GET ')" = 1 ] || fail "one status read expected, for the valid address only"
  expect_no_sim 'upgrade?tftp'
  ;;

keyboard)
  # Escape leaves the welcome dialog open, Enter takes its default (upgrade);
  # Enter in the warning declines, and the run ends without a word.
  start_wine
  start_sim
  start_program $P
  drive <<EOF
window "$WELCOME"
key escape
sleep 500
title "$WELCOME"
key enter
closed
window "ORBQ4x4 Firmware Upgrade"
key enter
closed
EOF
  wait_program 20
  expect_exit_zero
  expect_no_sim 'GET '
  ;;

close_box_cancels)
  # The connecting window's close box is its Cancel button.
  start_wine
  start_sim --http-hang 30
  start_program $P
  drive <<EOF
$TO_ADDRESS
set-ip 127.0.0.2
click 1
window "Connecting with ORB@127.0.0.2"
close
message-box "$ERROR_CAPTION" "Upgrade Failed: User Abort"
ok
EOF
  wait_program 20
  expect_exit_zero
  ;;

no_response)
  # The device holds the connection and closes it without an answer.
  start_wine
  start_sim --http-hang 3
  start_program $P
  drive <<EOF
$TO_ADDRESS
set-ip 127.0.0.2
click 1
window "Connecting with ORB@127.0.0.2"
message-box "$ERROR_CAPTION" "Upgrade Failed: No Response From ORB"
ok
EOF
  wait_program 20
  expect_exit_zero
  expect_sim 'GET /admin/advanced -> holding the connection'
  ;;

*) fail "unknown case $1" ;;
esac
pass
