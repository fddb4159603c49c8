#!/usr/bin/env bash
# curl as an independent Digest client against the simulated device, and
# the web server's faults as a client meets them.
ORBSIM=$1
. "$(dirname "$0")/sim_test_lib.sh"

start_sim md5 --address 127.0.0.2 --user admin --password secret --qop auth --algorithm MD5 --product ORB-A030 \
    --mac 02:1A:2B:3C:4D:5E --version 6.1.2 --hardware 2.0 --serial SN4711
start_sim sess --address 127.0.0.3 --user admin --password secret --qop auth --algorithm md5-sess --opaque xyz
start_sim open --address 127.0.0.4
start_sim renew --address 127.0.0.5 --user admin --password secret --nonce-every 2
start_sim refuse --address 127.0.0.6 --user admin --password secret --always-401
start_sim close --address 127.0.0.7 --http-close
start_sim hang --address 127.0.0.8 --http-hang 3
start_sim unquoted --address 127.0.0.9 --user admin --password secret --algorithm md5-sess --algorithm-unquoted
# A fleet: device 2 guarded, every answer held open long after it is whole.
start_sim fleet --count 3 --address 127.0.0.20 --on 2 --user admin --on 2 --password secret --http-hold 30
for name in md5 sess open renew refuse close hang unquoted; do wait_line "$name" "web server listening"; done
wait_line fleet "^orbsim: \[127.0.0.22\] web server listening on 127.0.0.22:80"

# The status page with its five label cells and value cells.
[ "$(http_code http://127.0.0.2/admin/advanced --digest -u admin:secret)" = 200 ] || fail "MD5: no 200"
for row in "Product Name:</td><td>ORB-A030<" "MAC Address:</td><td>02:1A:2B:3C:4D:5E<" \
    "Software Version:</td><td>6.1.2<" "Hardware Version:</td><td>2.0<" "Serial Number:</td><td>SN4711<"; do
    grep -q "<tr><td>$row" "$WORK/body" || fail "page lacks $row"
done
wait_line md5 "GET /admin/advanced -> 401 \(no credentials, new nonce\)"
wait_line md5 "GET /admin/advanced -> 200"

[ "$(http_code http://127.0.0.2/admin/advanced --digest -u admin:wrong)" = 401 ] || fail "wrong password passed"
wait_line md5 "-> 401 \(wrong response\)"
[ "$(http_code http://127.0.0.2/admin/advanced)" = 401 ] || fail "no credentials passed"
[ "$(http_code http://127.0.0.2/admin/other --digest -u admin:secret)" = 404 ] || fail "other path: no 404"

# The challenge as written on the wire.
curl -s -m 5 -D "$WORK/headers" -o /dev/null http://127.0.0.3/admin/advanced || fail "md5-sess: no answer"
grep -Eq '^WWW-Authenticate: Digest realm="ORB Device",nonce="[0-9a-f]+",qop="auth",algorithm="md5-sess",opaque="xyz"' \
    "$WORK/headers" || fail "unexpected challenge: $(cat "$WORK/headers")"
grep -q '^Content-Length: ' "$WORK/headers" || fail "401 without Content-Length"
[ "$(http_code http://127.0.0.3/admin/advanced --digest -u admin:secret)" = 200 ] || fail "md5-sess: no 200"
[ "$(http_code http://127.0.0.3/admin/advanced --digest -u admin:nope)" = 401 ] || fail "md5-sess: wrong password passed"

[ "$(http_code http://127.0.0.4/admin/advanced)" = 200 ] || fail "open device asked for credentials"
grep -q "Software Version:</td><td>7.0.0<" "$WORK/body" || fail "default version missing"

# A nonce renewed every two requests: every fresh challenge carries a new one.
for i in 1 2 3; do
    [ "$(http_code http://127.0.0.5/admin/advanced --digest -u admin:secret)" = 200 ] || fail "renewal $i: no 200"
done
[ "$(grep -c 'new nonce' "$WORK/renew.log")" = 3 ] || fail "nonce not renewed every two requests"

[ "$(http_code http://127.0.0.6/admin/advanced --digest -u admin:secret)" = 401 ] || fail "always-401 let a request in"
[ "$(http_code http://127.0.0.7/admin/advanced)" = empty ] || fail "closing device answered"
wait_line close "closed without an answer"
[ "$(curl -s -m 1 -o /dev/null -w '%{http_code}' http://127.0.0.8/admin/advanced; echo " $?")" = "000 28" ] ||
    fail "hanging device answered"
wait_line hang "holding the connection for 3 s"
wait_line hang "letting the held connection go" 6

curl -s -m 5 -D "$WORK/headers" -o /dev/null http://127.0.0.9/admin/advanced || fail "unquoted: no answer"
grep -q ',algorithm=md5-sess' "$WORK/headers" || fail "algorithm quoted: $(cat "$WORK/headers")"
[ "$(http_code http://127.0.0.9/admin/advanced --digest -u admin:secret)" = 200 ] || fail "unquoted md5-sess: no 200"

# Content-Length lets curl finish while the device still holds the connection.
[ "$(http_code http://127.0.0.22/admin/advanced)" = 200 ] || fail "fleet: device 3 held back its answer"
grep -q "Software Version:</td><td>7.0.2<" "$WORK/body" || fail "fleet: device 3 lacks its own version"
grep -q "Serial Number:</td><td>ORB0012347<" "$WORK/body" || fail "fleet: device 3 lacks its own serial"
[ "$(http_code http://127.0.0.21/admin/advanced)" = 401 ] || fail "fleet: device 2 unguarded"
wait_line fleet "\[127.0.0.22\] http: answer sent, holding the connection open for 30 s"

for name in md5 sess open renew refuse close hang unquoted fleet; do stop_sim "$name"; done
echo "orbsim digest and web server: all checks passed"
