#!/usr/bin/env bash
# Recovery mode: the discovery answer as a multicast sender sees it (and its
# wrong sizes on request), and a fetch over the group from a server that
# sends its data to the group, after which the device serves its pages.
ORBSIM=$1
ORBIMAGE=$2
. "$(dirname "$0")/sim_test_lib.sh"
HERE=$(dirname "$0")
probe() { timeout 10 python3 "$HERE/recovery_probe.py" "$@"; }

start_sim device --recovery --address 127.0.0.2 --serial RCV0001 --product ORB-P60 --mac 021A2B3C4D5E \
    --version 0.0.1 --hardware 3.1 --save "$WORK/got.bin" --restart-seconds 1 --exit-after 6
start_sim short --recovery --address 127.0.0.3 --serial RCV0099 --answer-size 99
start_sim long --recovery --address 127.0.0.4 --serial RCV0101 --answer-size 101 --answer-twice --ignore-fetches 1
for name in device short long; do wait_line "$name" "recovery mode: listening on 234.4.8.10:4810"; done

[ "$(http_code http://127.0.0.2/admin/advanced)" = refused ] || fail "web server up in recovery mode"

probe --serial RCV0001 >"$WORK/answer"
for field in length=100 serial=RCV0001 product=ORB-P60 mac=021A2B3C4D5E software=0.0.1 hardware=3.1 \
    address=127.0.0.2 fields-nul-terminated=True; do
    grep -qx "$field" "$WORK/answer" || fail "answer lacks $field: $(cat "$WORK/answer")"
done
wait_line device "search for serial RCV0001 from 127.0.0.1 -> answered with 100 bytes"
[ "$(probe --serial NOBODY --wait 1)" = none ] || fail "a search for another serial was answered"
wait_line device "command 0 for serial NOBODY ignored"
probe --serial RCV0099 >"$WORK/answer"
[ "$(head -n 1 "$WORK/answer")" = length=99 ] || fail "no 99-byte answer"
probe --serial RCV0101 >"$WORK/answer"
[ "$(head -n 1 "$WORK/answer")" = length=101 ] || fail "no 101-byte answer"

"$ORBIMAGE" make --code vIrEoN3 --version 7.5.3 --size 300000 --out "$WORK/image.bin" >/dev/null
timeout 30 python3 "$HERE/group_tftp_server.py" --port 6969 --name /orb7f00.bin --image "$WORK/image.bin" \
    >"$WORK/server.log" 2>&1 &
SERVER=$!
STARTED_PIDS+=($SERVER)
wait_line server "^ready"
probe --serial RCV0001 --command 2 --port 6969 --file /orb7f00.bin >"$WORK/answer"
grep -qx length=100 "$WORK/answer" || fail "fetch not answered"
wait_line device "fetching /orb7f00.bin from port 6969 through 234.4.8.10"
wait_line server "RRQ /orb7f00.bin from 127.0.0.2:" 5
wait "$SERVER" || fail "group server failed: $(cat "$WORK/server.log")"
wait_line device "received 300000 bytes, length field 300000: complete"
cmp "$WORK/image.bin" "$WORK/got.bin" || fail "saved bytes differ"
wait_line device "up again, software version 7.5.3"
[ "$(http_code http://127.0.0.2/admin/advanced)" = 200 ] || fail "recovered device serves no page"
grep -q "<tr><td>Software Version:</td><td>7.5.3</td></tr>" "$WORK/body" || fail "recovered device shows the old version"
[ "$(probe --serial RCV0001 --wait 1)" = none ] || fail "a recovered device still answers searches"
wait_exit device 0

wait_line long "search for serial RCV0101 from 127.0.0.1 -> answered with 101 bytes to port 4811 \(again\)"
[ "$(probe --serial RCV0101 --command 2 --port 6969 --file /x --wait 1)" = none ] || fail "an ignored fetch was answered"
wait_line long "recovery: fetch 1 of 1 for serial RCV0101 ignored"

# A rogue host answers every search, for a serial nobody asked about.
python3 "$HERE/../support/rogue.py" recovery --address 127.0.0.9 --mode other-serial >"$WORK/rogue.log" 2>&1 &
STARTED_PIDS+=($!)
wait_line rogue "^rogue: ready$"
probe --serial NOBODY >"$WORK/answer"
grep -qx serial=ROGUE0001 "$WORK/answer" && grep -qx address=127.0.0.9 "$WORK/answer" ||
    fail "rogue answer: $(cat "$WORK/answer")"
wait_line rogue "^rogue: answered search for NOBODY from 127.0.0.1:[0-9]+ with serial ROGUE0001 at 127.0.0.9 to port 4811$"

stop_sim short
stop_sim long
echo "orbsim recovery: all checks passed"
