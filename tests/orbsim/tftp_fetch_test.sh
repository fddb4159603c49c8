#!/usr/bin/env bash
# The device's TFTP client against an independent server (in.tftpd): the
# received bytes, the restarts and the versions afterwards, and the client faults.
ORBSIM=$1
ORBIMAGE=$2
. "$(dirname "$0")/sim_test_lib.sh"

command -v in.tftpd >/dev/null || { echo "SKIPPED: in.tftpd (tftpd-hpa) is not installed" >&2; exit 77; }
# in.tftpd resolves its address only when some address besides 127.0.0.1 is
# configured; the device's own loopback address serves.
ip addr add 127.0.0.2/8 dev lo

mkdir "$WORK/root"
make_image() { "$ORBIMAGE" make --code SvIrEo5 --version "$2" --size "$3" --out "$WORK/root/$1" >/dev/null; }
make_image orb1a2b.bi1 7.5.3 1000000
make_image orb512.bi1 7.6.0 102400       # a multiple of 512: ends with an empty block
make_image orbbig.bi1 8.0.1 33600000     # more than 65535 blocks: numbers roll over
chmod -R a+rX "$WORK/root"
in.tftpd -L -s -u root -a 127.0.0.1:69 "$WORK/root" &
STARTED_PIDS+=($!)

trigger() { http_code "http://$1/admin/upgrade?tftp://127.0.0.1:69/$2" "${@:3}"; }

start_sim plain --address 127.0.0.2 --save "$WORK/plain.bin" --restart-seconds 2 --exit-after 5
start_sim faulty --address 127.0.0.3 --save "$WORK/faulty.bin" --restart-seconds 0 --exit-after 2 \
    --dup-acks --drop-ack 0,3,200 --drop-fraction 0.02 --seed 7 --tftp-retry-ms 200 --version-after 9.9.9
start_sim big --address 127.0.0.4 --save "$WORK/big.bin" --restart-seconds 0 --exit-after 0 --stay-down
start_sim stall --address 127.0.0.5 --stall-after 5 --tftp-retry-ms 200 --tftp-retries 3 --exit-after 0
start_sim refuse --address 127.0.0.6 --refuse-options --exit-after 0
start_sim mute --address 127.0.0.7 --restart-seconds 0 --mute-after-restart
# Late to fetch, and starts over from a new port: a rogue host asks first.
start_sim refetch --address 127.0.0.8 --fetch-delay 300 --refetch-after 3 --tftp-error-after 0 \
    --on 1 --tftp-error-after 99999 --save "$WORK/refetch.bin" --restart-seconds 0 --exit-after 0 --stay-down
# Restart times spread over 2-4 s; device 2 drops the image, device 3 (guarded) flaps.
start_sim kinds --count 3 --address 127.0.0.10 --restart-seconds 2-4 --on 2 --never-restart --on 3 --flap \
    --on 3 --user admin --on 3 --password secret
for name in plain faulty big stall refuse mute refetch; do wait_line "$name" "web server listening"; done
wait_line kinds "\[127.0.0.12\] web server listening"
python3 "$(dirname "$0")/../support/rogue.py" steal --address 127.0.0.9 --sim-log "$WORK/refetch.log" \
    >"$WORK/rogue.log" 2>&1 &
STARTED_PIDS+=($!)
wait_line rogue "^rogue: ready$"

[ "$(trigger 127.0.0.2 orb1a2b.bi1)" = 200 ] || fail "trigger not answered with 200"
grep -q "Software Version" "$WORK/body" && fail "the trigger's page carries the labels"
wait_line plain "TFTP RRQ /orb1a2b.bi1 to 127.0.0.1:69"
wait_line plain "received 1000000 bytes, length field 1000000: complete"
wait_line plain "restarting for 2 s"
[ "$(http_code http://127.0.0.2/admin/advanced)" = refused ] || fail "web server up during the restart"
wait_line plain "up again, software version 7.5.3"
[ "$(http_code http://127.0.0.2/admin/advanced)" = 200 ] || fail "no page after the restart"
grep -q "<tr><td>Software Version:</td><td>7.5.3</td></tr>" "$WORK/body" || fail "old version after the restart"
wait_exit plain 0
cmp "$WORK/root/orb1a2b.bi1" "$WORK/plain.bin" || fail "plain: saved bytes differ"

[ "$(trigger 127.0.0.3 orb512.bi1)" = 200 ] || fail "faulty: trigger"
wait_line faulty "TFTP leaving out ACK 3"
wait_line faulty "TFTP leaving out ACK 200"
wait_line faulty "up again, software version 9.9.9"
wait_exit faulty 0
cmp "$WORK/root/orb512.bi1" "$WORK/faulty.bin" || fail "faulty: saved bytes differ"
grep -q "TFTP done: 201 blocks, 102400 bytes" "$WORK/faulty.log" || fail "faulty: no empty last block"
grep -Eq "TFTP left out ([4-9]|[1-9][0-9]) ACKs" "$WORK/faulty.log" || fail "faulty: no ACKs left out by fraction"

[ "$(trigger 127.0.0.4 orbbig.bi1)" = 200 ] || fail "big: trigger"
wait_line big "staying down after the restart" 60
[ "$(http_code http://127.0.0.4/admin/advanced)" = refused ] || fail "big: web server came back"
wait_exit big 0
cmp "$WORK/root/orbbig.bi1" "$WORK/big.bin" || fail "big: saved bytes differ"

[ "$(trigger 127.0.0.5 orb1a2b.bi1)" = 200 ] || fail "stall: trigger"
wait_line stall "TFTP stalling: no ACK after block 5"
wait_line stall "received 2560 bytes, length field 1000000: incomplete"
wait_line stall "upgrade failed, keeping software version 7.0.0"
wait_exit stall 1

[ "$(trigger 127.0.0.6 orb1a2b.bi1)" = 200 ] || fail "refuse: trigger"
wait_line refuse "TFTP refusing the options with an ERROR"
wait_exit refuse 1
grep -q "restarting" "$WORK/refuse.log" && fail "refuse: restarted without an image"

[ "$(trigger 127.0.0.7 orb512.bi1)" = 200 ] || fail "mute: trigger"
wait_line mute "up again, software version 7.6.0"
[ "$(http_code http://127.0.0.7/admin/advanced)" = empty ] || fail "mute: answered after the restart"
stop_sim mute

[ "$(trigger 127.0.0.8 orb1a2b.bi1)" = 200 ] || fail "refetch: trigger"
wait_line rogue "^rogue: served 1000000 bytes$"
wait_line rogue "^rogue: claiming software version 7.5.3$"
[ "$(http_code http://127.0.0.9/admin/advanced)" = 200 ] || fail "rogue: no page"
grep -q "<tr><td>Software Version:</td><td>7.5.3</td></tr>" "$WORK/body" || fail "rogue: page lacks the stolen version"
wait_line rogue "^rogue: http GET /admin/advanced auth=no$"
wait_line refetch "tftp: waiting 300 ms before the read request"
wait_line refetch "tftp: abandoning the transfer after ACK 3, fetching again from a new port"
wait_exit refetch 0
cmp "$WORK/root/orb1a2b.bi1" "$WORK/refetch.bin" || fail "refetch: saved bytes differ"
[ "$(grep -o 'TFTP RRQ /orb1a2b.bi1 to 127.0.0.1:69 from port [0-9]*' "$WORK/refetch.log" | sort -u | wc -l)" = 2 ] ||
    fail "refetch: not two read requests from two ports"
grep -q "tftp: sent ERROR" "$WORK/refetch.log" && fail "refetch: --on 1 did not replace the common --tftp-error-after 0"

[ "$(http_code http://127.0.0.12/admin/advanced -D "$WORK/headers")" = 401 ] || fail "kinds: no challenge"
nonce=$(sed -n 's/.*nonce="\([0-9a-f]*\)".*/\1/p' "$WORK/headers")
for device in 10 11; do [ "$(trigger 127.0.0.$device orb1a2b.bi1)" = 200 ] || fail "kinds: trigger $device"; done
[ "$(trigger 127.0.0.12 orb1a2b.bi1 --digest -u admin:secret)" = 200 ] || fail "kinds: trigger 12"
wait_line kinds "10\] restart: down, restarting for 2 s$" 30
wait_line kinds "11\] restart: none, the image dropped; still software version 7.0.1$" 30
[ "$(http_code http://127.0.0.11/admin/advanced)" = 200 ] && grep -q "<td>7.0.1</td>" "$WORK/body" ||
    fail "kinds: the device that dropped the image does not answer on its old version"
for line in "down, restarting for 2 s \(the first of two\)" "up again, software version 7.0.2 \(for about 1 s" \
    "down, restarting for 2 s \(the second time\)"; do wait_line kinds "12\] restart: $line" 30; done
[ "$(http_code http://127.0.0.12/admin/advanced)" = refused ] || fail "kinds: web server up while flapping down"
wait_line kinds "12\] restart: up again, software version 7.5.3$"
# The nonce from before both restarts: a fresh challenge that calls it stale.
[ "$(http_code http://127.0.0.12/admin/advanced -D "$WORK/headers" -H "Authorization: Digest username=\"admin\", \
realm=\"ORB Device\", nonce=\"$nonce\", uri=\"/admin/advanced\", response=\"0\"")" = 401 ] || fail "kinds: old nonce"
grep -q "stale=true" "$WORK/headers" || fail "kinds: the old nonce is not called stale"

timeout 20 python3 "$(dirname "$0")/../support/rogue.py" flood --address 127.0.0.9 --to 127.0.0.1:9 --rate 200 \
    --seconds 0.5 >"$WORK/flood.log" || fail "flood: did not end by itself"
grep -Eq "^rogue: sent [1-9][0-9]+ datagrams$" "$WORK/flood.log" || fail "flood: $(cat "$WORK/flood.log")"

echo "orbsim tftp client: all checks passed"
